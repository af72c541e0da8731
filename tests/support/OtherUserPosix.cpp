#include "support/OtherUser.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace flash::test {
namespace {
constexpr uid_t kNobody = 65534;
}

bool OtherUserIsNobody() { return geteuid() == 0; }

std::string AsOtherUser() {
  return OtherUserIsNobody() ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
}

void ReadOnlyForOtherUser(const std::string& dir) {
  // mkdtemp makes 0700 directories: the other user must pass through them.
  chmod(dir.c_str(), OtherUserIsNobody() ? 0755 : 0555);
}

void WritableForOtherUser(const std::string& dir) {
  chmod(dir.c_str(), 0755);
  // A failure shows in the test's own checks: the other user's writes fail.
  if (OtherUserIsNobody()) [[maybe_unused]] const int r = chown(dir.c_str(), kNobody, kNobody);
}

std::string InChildAsOtherUser(const std::function<std::string()>& fn) {
  int fds[2];
  if (pipe(fds) != 0) return "<no pipe>";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (OtherUserIsNobody() &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
      _exit(3);
    const std::string out = fn();
    const bool ok = write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    _exit(ok ? 0 : 4);
  }
  close(fds[1]);
  std::string out;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "<child failed>";
  return out;
}

}  // namespace flash::test
