// flashcli: the flash commands for scripts, production lines and catalogue
// authors, on the same core as the window.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Cli.h"

namespace flash::cli {
namespace {

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: flashcli [options] COMMAND [arguments]\n"
      "\n"
      "Runs one command of the flash programmer on the device, crystal and COM port\n"
      "that DATAFILE.TXT and Customize.ini beside this program name.\n"
      "\n"
      "commands:\n",
      out);
  for (const Command& c : Registry()) {
    std::string head = std::string(c.name) + (*c.synopsis ? " " : "") + c.synopsis;
    std::fprintf(out, "  %-26s %s\n", head.c_str(), c.summary);
  }
  std::fputs(
      "\n"
      "options:\n"
      "  --device NAME      the target MCU (a section of CHIPDEF.INI)\n"
      "  --crystal TEXT     the crystal, as the catalogue's Clock list writes it\n"
      "  --port COMn        the COM port (Customize.ini maps COMn to a device); a list\n"
      "                     COM1,COM2,... runs download, erase, blank, program, compare\n"
      "                     and full on every board at once\n"
      "  --fill HH          fill byte of the checksum (two hex digits, default FF)\n"
      "  --reset            ask for the board reset before a connection\n"
      "  --no-reset         do not ask for the board reset\n"
      "  --intel-hex        copy writes Intel HEX instead of S-records\n"
      "  --trace            write every byte on the link to standard error\n"
      "  --help             this text\n"
      "\n"
      "exit status: 0 success, 1 failure, 2 usage or start-up error,\n"
      "3 a check ran to its end with a negative result\n",
      out);
}

}  // namespace

void Register(Command command) { Registry().push_back(std::move(command)); }
const std::vector<Command>& Commands() { return Registry(); }

int UsageError(const std::string& text) {
  std::fprintf(stderr, "flashcli: %s\n(flashcli --help lists the commands and options)\n",
               text.c_str());
  return kExitUsage;
}

}  // namespace flash::cli

int main(int argc, char** argv) {
  using namespace flash::cli;
  Options options;
  std::string commandName;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::optional<std::string>& into) -> bool {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      PrintUsage(stdout);
      return kExitOk;
    } else if (a == "--device") {
      if (!value(options.device)) return UsageError("--device needs a name");
    } else if (a == "--crystal") {
      if (!value(options.crystal)) return UsageError("--crystal needs a text");
    } else if (a == "--port") {
      if (!value(options.port)) return UsageError("--port needs COMn or a list COM1,COM2");
    } else if (a == "--fill") {
      if (!value(options.fill)) return UsageError("--fill needs two hex digits");
    } else if (a == "--reset") {
      options.reset = true;
    } else if (a == "--no-reset") {
      options.reset = false;
    } else if (a == "--intel-hex") {
      options.intelHex = true;
    } else if (a == "--trace") {
      options.trace = true;
    } else if (a.size() > 1 && a[0] == '-' ) {
      return UsageError("unknown option " + a);
    } else if (commandName.empty()) {
      commandName = a;
    } else {
      options.positional.push_back(a);
    }
  }
  if (commandName.empty()) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  for (const Command& c : Commands()) {
    if (commandName != c.name) continue;
    int n = static_cast<int>(options.positional.size());
    if (n < c.minArgs || n > c.maxArgs)
      return UsageError(std::string("usage: flashcli ") + c.name + " " + c.synopsis);
    return c.run(options);
  }
  return UsageError("unknown command " + commandName);
}
