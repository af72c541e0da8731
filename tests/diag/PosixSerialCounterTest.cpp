// Processes that race for serial numbers, each forked from this one.
#include "diag/SerialCounter.h"

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "diag/SerialCounterTestUtil.h"
#include "support/TempDir.h"

namespace flash {
namespace {

using test::ExpectEachTakenOnce;

TEST(SerialCounter, ProcessesRacingNeverShareANumber) {
  test::TempDir dir;
  const std::string path = dir.File(kSerialFile);
  std::string error;
  ASSERT_TRUE(WriteSerialStart(path, 5000, error)) << error;
  constexpr int kChildren = 6;
  constexpr int kEach = 50;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(fds[0]);
      for (int i = 0; i < kEach; ++i) {
        uint64_t n = 0;
        std::string why;
        if (!TakeSerial(path, n, why)) ::_exit(1);
        // 8 bytes: below PIPE_BUF, so the children's writes never mix.
        if (::write(fds[1], &n, sizeof n) != sizeof n) ::_exit(2);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  ::close(fds[1]);
  std::vector<uint64_t> taken;
  uint64_t n = 0;
  while (::read(fds[0], &n, sizeof n) == sizeof n) taken.push_back(n);
  ::close(fds[0]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  ExpectEachTakenOnce(dir, taken, 5000, kChildren * kEach);
}

}  // namespace
}  // namespace flash
