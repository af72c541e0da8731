#include "diag/ProductionLog.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "diag/ProductionLogTestUtil.h"
#include "support/EnvVar.h"
#include "support/FlatJson.h"
#include "support/TempDir.h"

namespace flash {
namespace {

using test::FlatJson;
using test::FullRecord;
using test::JsonField;
using test::kLogKeys;
using test::ParsedLine;

TEST(ProductionLog, EveryKeyInOrderWithItsValue) {
  const std::vector<JsonField> fields = ParsedLine(FormatLogRecord(FullRecord()));
  ASSERT_EQ(fields.size(), kLogKeys.size());
  for (std::size_t i = 0; i < kLogKeys.size(); ++i) EXPECT_EQ(fields[i].key, kLogKeys[i]);
  const std::vector<std::pair<std::string, bool>> want = {
      {"2026-12-09T14:03:07.123+01:00", true}, {"bench-3", true}, {"COM4", true},
      {"/dev/ttyUSB0", true}, {"DEMO_CHIP", true}, {"12.000", true}, {"auto", true},
      {"C:\\images\\\"a\".hex", true}, {std::string(64, 'a'), true}, {"1A2B", true},
      {"18446744073709551615", false}, {"negative", true}, {"214", false},
      {"No.004 compare error\r\nat 0x100\tend", true}, {"12.346", false}, {"262144", false}};
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(fields[i].value, want[i].first) << kLogKeys[i];
    EXPECT_EQ(fields[i].isString, want[i].second) << kLogKeys[i];
  }
  const std::string line = FormatLogRecord(FullRecord());
  EXPECT_NE(line.find(R"("message":"No.004 compare error\r\nat 0x100\tend")"), std::string::npos);
  EXPECT_NE(line.find(R"("file":"C:\\images\\\"a\".hex")"), std::string::npos);
}

TEST(ProductionLog, AbsentOptionalsAreNull) {
  LogRecord r;
  r.result = LogResult::Ok;
  const std::vector<JsonField> fields = ParsedLine(FormatLogRecord(r));
  ASSERT_EQ(fields.size(), kLogKeys.size());
  for (const char* key : {"file", "file_sha256", "checksum", "serial", "message_id", "message"}) {
    const auto it = std::find_if(fields.begin(), fields.end(), [&](const JsonField& f) { return f.key == key; });
    ASSERT_NE(it, fields.end());
    EXPECT_EQ(it->value, "null") << key;
    EXPECT_FALSE(it->isString) << key;
  }
  EXPECT_EQ(fields[11].value, "ok");
  EXPECT_EQ(fields[14].value, "0.000");
  EXPECT_EQ(fields[15].value, "0");
  r.result = LogResult::Fail;
  r.checksum = 0x00F;
  r.seconds = std::numeric_limits<double>::infinity();
  const std::vector<JsonField> again = ParsedLine(FormatLogRecord(r));
  EXPECT_EQ(again[9].value, "000F");
  EXPECT_EQ(again[11].value, "fail");
  EXPECT_EQ(again[14].value, "null");
}

TEST(ProductionLog, EscapesControlsAndBadUtf8) {
  EXPECT_EQ(JsonEscaped("a\"b\\c"), R"(a\"b\\c)");
  EXPECT_EQ(JsonEscaped(std::string("\x01\x1f\b\f\x7f", 5)), "\\u0001\\u001F\\b\\f\x7f");
  EXPECT_EQ(JsonEscaped(std::string("\0x", 2)), "\\u0000x");
  EXPECT_EQ(JsonEscaped("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(JsonEscaped("\xFF"), "\\uFFFD");
  EXPECT_EQ(JsonEscaped("a\xC3"), "a\\uFFFD");               // cut short
  EXPECT_EQ(JsonEscaped("\xC0\xAF"), "\\uFFFD\\uFFFD");      // overlong
  EXPECT_EQ(JsonEscaped("\xED\xA0\x80"), "\\uFFFD\\uFFFD\\uFFFD");  // a surrogate
  EXPECT_EQ(JsonEscaped("\xF4\x90\x80\x80"), "\\uFFFD\\uFFFD\\uFFFD\\uFFFD");  // past U+10FFFF
  EXPECT_EQ(JsonEscaped("\xE2\x82x"), "\\uFFFD\\uFFFDx");
}

TEST(ProductionLog, LocalTimeWithItsOffset) {
  {
    test::EnvVar tz("TZ");
    tz.Set("CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
    // 2026-12-09 13:03:07 UTC is 14:03:07 in winter, +01:00.
    EXPECT_EQ(IsoTimeWithOffset({1796821387, 123}), "2026-12-09T14:03:07.123+01:00");
    EXPECT_EQ(IsoTimeWithOffset({1781010000, 5}), "2026-06-09T15:00:00.005+02:00");
    tz.Set("EST5");
    ::tzset();
    EXPECT_EQ(IsoTimeWithOffset({0, 0}), "1969-12-31T19:00:00.000-05:00");
    tz.Set("IST-5:30");
    ::tzset();
    EXPECT_EQ(IsoTimeWithOffset({0, 999}), "1970-01-01T05:30:00.999+05:30");
    tz.Set("UTC0");
    ::tzset();
    EXPECT_EQ(IsoTimeWithOffset({1796821387, 0}), "2026-12-09T13:03:07.000+00:00");
  }
  ::tzset();  // back to the zone TZ named before the test
}

TEST(ProductionLog, HostNameIsNeverEmpty) { EXPECT_FALSE(HostName().empty()); }

TEST(ProductionLog, ParallelAppendsNeverMix) {
  test::TempDir dir;
  const std::string path = dir.File("production.jsonl");
  constexpr int kThreads = 8;
  constexpr int kEach = 40;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      LogRecord r = FullRecord();
      r.message = std::string(3000, static_cast<char>('a' + t));  // longer than a small buffer
      for (int i = 0; i < kEach; ++i) {
        r.serial = static_cast<uint64_t>(t * 1000 + i);
        std::string why;
        if (!AppendLogRecord(path, FormatLogRecord(r), why)) ++failures[static_cast<std::size_t>(t)];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
  std::istringstream in(dir.Read("production.jsonl"));
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    const std::vector<JsonField> fields = ParsedLine(line + "\n");
    ASSERT_EQ(fields.size(), kLogKeys.size()) << "line " << count;
    const std::string& message = fields[13].value;
    EXPECT_EQ(message, std::string(3000, message.empty() ? '?' : message[0]));
    ++count;
  }
  EXPECT_EQ(count, kThreads * kEach);
}

}  // namespace
}  // namespace flash
