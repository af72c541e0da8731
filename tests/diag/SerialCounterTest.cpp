#include "diag/SerialCounter.h"

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "diag/SerialCounterTestUtil.h"
#include "support/TempDir.h"

namespace flash {
namespace {

using test::ExpectEachTakenOnce;

TEST(SerialCounter, SequentialTakesAdvanceTheFile) {
  test::TempDir dir;
  const std::string path = dir.File(kSerialFile);
  std::string error;
  ASSERT_TRUE(WriteSerialStart(path, 1000, error)) << error;
  EXPECT_EQ(dir.Read(kSerialFile), "1000\r\n");
  for (uint64_t want = 1000; want < 1005; ++want) {
    uint64_t taken = 0;
    bool missing = true;
    ASSERT_TRUE(TakeSerial(path, taken, error, &missing)) << error;
    EXPECT_FALSE(missing);
    EXPECT_EQ(taken, want);
  }
  EXPECT_EQ(dir.Read(kSerialFile), "1005\r\n");
  ASSERT_TRUE(WriteSerialStart(path, 7, error)) << error;
  uint64_t taken = 0;
  ASSERT_TRUE(TakeSerial(path, taken, error));
  EXPECT_EQ(taken, 7u);
}

TEST(SerialCounter, ReadsLfCrLfAndBlanks) {
  test::TempDir dir;
  const std::string path = dir.File(kSerialFile);
  std::string error;
  uint64_t taken = 0;
  for (const char* content : {"42", "42\n", "42\r\n", "  42 \t\r\n", "\n42\n", "0042"}) {
    dir.Write(kSerialFile, content);
    ASSERT_TRUE(TakeSerial(path, taken, error)) << content << ": " << error;
    EXPECT_EQ(taken, 42u) << content;
    EXPECT_EQ(dir.Read(kSerialFile), "43\r\n");
  }
  dir.Write(kSerialFile, "18446744073709551614\n");
  ASSERT_TRUE(TakeSerial(path, taken, error)) << error;
  EXPECT_EQ(taken, 18446744073709551614u);
  EXPECT_FALSE(TakeSerial(path, taken, error));  // the last one has no successor
  EXPECT_NE(error.find("used up"), std::string::npos) << error;
  EXPECT_EQ(dir.Read(kSerialFile), "18446744073709551615\r\n");
}

TEST(SerialCounter, AMissingFileIsToldApart) {
  test::TempDir dir;
  uint64_t taken = 99;
  std::string error;
  bool missing = false;
  EXPECT_FALSE(TakeSerial(dir.File(kSerialFile), taken, error, &missing));
  EXPECT_TRUE(missing);
  EXPECT_EQ(taken, 99u);
  EXPECT_EQ(error.rfind("SERIAL.TXT does not exist", 0), 0u) << error;
  EXPECT_FALSE(dir.Exists(kSerialFile));
  EXPECT_FALSE(dir.Exists("SERIAL.TXT.lock"));
}

TEST(SerialCounter, GarbageIsAnErrorAndStaysAsItWas) {
  test::TempDir dir;
  const std::string path = dir.File(kSerialFile);
  for (const char* content : {"", " \r\n", "12a", "1 2", "1\n2\n", "-5", "+5", "0x10", "1.5",
                              "18446744073709551616", "99999999999999999999999"}) {
    dir.Write(kSerialFile, content);
    uint64_t taken = 99;
    std::string error;
    bool missing = true;
    EXPECT_FALSE(TakeSerial(path, taken, error, &missing)) << content;
    EXPECT_FALSE(missing);
    EXPECT_EQ(taken, 99u);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(dir.Read(kSerialFile), content);
  }
  uint64_t n = 0;
  std::string error;
  EXPECT_FALSE(ParseSerialFile("", n, error));
  EXPECT_EQ(error, "it holds no serial number");
  EXPECT_FALSE(ParseSerialFile("7 8", n, error));
  EXPECT_NE(error.find("one decimal number"), std::string::npos);
  EXPECT_FALSE(ParseSerialFile("18446744073709551616", n, error));
  EXPECT_NE(error.find("too large"), std::string::npos);
}

TEST(SerialCounter, ADirectoryInTheWayIsAnError) {
  test::TempDir dir;
  std::string error;
  uint64_t taken = 0;
  ASSERT_TRUE(std::filesystem::create_directory(dir.File(kSerialFile)));
  bool missing = true;
  EXPECT_FALSE(TakeSerial(dir.File(kSerialFile), taken, error, &missing));
  EXPECT_FALSE(missing);
  EXPECT_FALSE(WriteSerialStart(dir.File(kSerialFile), 1, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WriteSerialStart(dir.File("no/such/SERIAL.TXT"), 1, error));
}

TEST(SerialCounter, ThreadsRacingNeverShareANumber) {
  test::TempDir dir;
  const std::string path = dir.File(kSerialFile);
  std::string error;
  ASSERT_TRUE(WriteSerialStart(path, 1, error)) << error;
  constexpr int kThreads = 4;
  constexpr int kEach = 50;
  std::vector<std::vector<uint64_t>> perThread(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        uint64_t n = 0;
        std::string why;
        if (TakeSerial(path, n, why)) perThread[static_cast<std::size_t>(t)].push_back(n);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::vector<uint64_t> taken;
  for (const auto& some : perThread) taken.insert(taken.end(), some.begin(), some.end());
  ExpectEachTakenOnce(dir, taken, 1, kThreads * kEach);
}

}  // namespace
}  // namespace flash
