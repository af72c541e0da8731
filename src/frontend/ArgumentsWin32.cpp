// Windows side of the arguments: the C library's argv is in the ANSI code
// page, which cannot hold most names a user gives, so the arguments come
// from the UTF-16 command line instead; and the console shows bytes in its
// own code page until told they are UTF-8.
#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "base/WideTextWin32.h"
#include "frontend/Arguments.h"

namespace flash {
namespace {

struct LocalDeleter {
  void operator()(LPWSTR* block) const { LocalFree(block); }
};

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  const std::unique_ptr<LPWSTR, LocalDeleter> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  // Another count means the two parsers read the line differently: keep
  // what the C library made of it, as before.
  if (!wide || count != argc)
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(wide.get()[i]));
  return args;
}

// The code page is the console's, not the process's: it would outlive the
// run in the window that started it.
Utf8Console::Utf8Console() {
  const UINT now = GetConsoleOutputCP();  // 0 without a console
  if (now != 0 && now != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) previous_ = now;
}

Utf8Console::~Utf8Console() {
  if (previous_ != 0) SetConsoleOutputCP(previous_);
}

}  // namespace flash
