#pragma once
// The process's arguments in the UTF-8 the core takes every path in, and a
// console that shows the UTF-8 the programs print; one file per platform.
#include <string>
#include <vector>

namespace flash {

// The arguments after the program's name, as UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// While it lives, the console (where there is one that needs telling) shows
// what the program writes as UTF-8; the console's own setting comes back after.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  unsigned previous_ = 0;  // the code page to restore, 0 for none
};

}  // namespace flash
