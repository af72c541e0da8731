// POSIX side of the arguments: argv and the terminal already speak UTF-8
// in the locales the program runs in, so both pass through untouched.
#include "frontend/Arguments.h"

namespace flash {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

}  // namespace flash
