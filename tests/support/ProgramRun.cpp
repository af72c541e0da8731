#include "support/ProgramRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace flash::test {
namespace {

// The first of our programs a command line starts, for the failure message.
std::string ProgramIn(const std::string& command) {
  std::string word;
  for (std::size_t i = 0; i <= command.size(); ++i) {
    const char c = i < command.size() ? command[i] : ' ';
    if (c == ' ' || c == '\'' || c == '"' || c == ';' || c == '&' || c == '|') {
      const std::string name = word.substr(word.find_last_of('/') + 1);
      if (name == "flashcli" || name == "flashsim" || name == "flash") return name;
      word.clear();
    } else {
      word += c;
    }
  }
  return "the command";
}

// A program that a sanitizer stopped may still end with the very status the
// test expects (1 by default), so the report itself fails the test: by the
// exit status the sanitizer builds give it, or by what it printed.
void FailOnSanitizerReport(const std::string& command, const ProgramRun& r) {
  static constexpr const char* kMarks[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                           "ERROR: UndefinedBehaviorSanitizer", "runtime error: "};
  bool report = false;
  for (const char* mark : kMarks) report = report || r.out.find(mark) != std::string::npos;
#ifdef FLASH_SANITIZER_EXIT_CODE
  report = report || r.status == FLASH_SANITIZER_EXIT_CODE;
#endif
  if (report)
    ADD_FAILURE() << ProgramIn(command) << " hit a sanitizer report (exit status " << r.status
                  << ") in: " << command << "\n"
                  << r.out;
}

}  // namespace

ProgramRun RunCommand(const std::string& command) {
  ProgramRun r;
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int raw = pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  FailOnSanitizerReport(command, r);
  return r;
}

BackgroundRun::BackgroundRun(const std::string& command) : command_(command) {
  char pattern[] = "/tmp/flash-run-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd < 0) return;
  outPath_ = pattern;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fd, 1);
    dup2(fd, 2);
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    // A test runner may ignore or block signals; the program starts as from a shell.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fd);
}

BackgroundRun::~BackgroundRun() {
  if (pid_ > 0 && Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (!outPath_.empty()) std::remove(outPath_.c_str());
}

bool BackgroundRun::Running() {
  if (pid_ <= 0 || exited_) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  // Ended: keep its status for Wait.
  exited_ = true;
  rawStatus_ = status;
  return false;
}

void BackgroundRun::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

ProgramRun BackgroundRun::Wait(int* termSignal) {
  ProgramRun r;
  if (pid_ <= 0) return r;
  int status = rawStatus_;
  if (!exited_) waitpid(pid_, &status, 0);
  exited_ = true;
  rawStatus_ = status;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (termSignal) *termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::ifstream in(outPath_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  r.out = text.str();
  pid_ = -pid_;  // waited for: never killed again
  FailOnSanitizerReport(command_, r);
  return r;
}

bool ProgramBuilt(const std::string& name) {
  return std::filesystem::exists(std::string(FLASH_BIN_DIR) + "/" + name);
}

std::string InstallProgram(const TempDir& dir, const std::string& name) {
  std::filesystem::copy_file(std::string(FLASH_BIN_DIR) + "/" + name, dir.File(name),
                             std::filesystem::copy_options::overwrite_existing);
  return dir.File(name);
}

}  // namespace flash::test
