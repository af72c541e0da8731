// flashcli: the flash commands for scripts, production lines and catalogue
// authors, on the same core as the window.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/FileUtil.h"
#include "frontend/Arguments.h"
#include "cli/Cli.h"
#include "link/ResetSequence.h"

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
      "that DATAFILE.TXT and Customize.ini in the station directory name (beside\n"
      "this program, or ~/.config/flashprog/ when that is not writable).\n"
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
      "  --port PORT        the COM port: COMn (Customize.ini maps COMn to a device), a\n"
      "                     device path (/dev/ttyUSB0, /dev/serial/by-id/...) or\n"
      "                     usb:VID:PID[:SERIAL] (hexadecimal; flashcli ports lists them);\n"
      "                     a list COM1,COM2,... runs download, erase, blank, program,\n"
      "                     compare and full on every board at once\n"
      "  --fill HH          fill byte of the checksum (two hex digits, default FF)\n"
      "  --reset            ask for the board reset before a connection\n"
      "  --no-reset         do not ask for the board reset\n"
      "  --reset-sequence SEQ\n"
      "                     reset the board by its DTR and RTS lines instead of asking:\n"
      "                     D0/D1 and R0/R1 set DTR or RTS, Wn waits n ms (D0R1W100D1R0W50);\n"
      "                     default: [Reset] COMn, else Sequence, of Customize.ini\n"
      "  --intel-hex        copy writes Intel HEX instead of S-records\n"
      "  --trace            write every byte on the link to standard error\n"
      "  --serial ADDR:WIDTH[:FORMAT]\n"
      "                     program and full write a serial number into each board:\n"
      "                     WIDTH (1 to 8) bytes at hexadecimal ADDR, inside one flash\n"
      "                     region, as le (default), be, bcd or ascii; the numbers\n"
      "                     come from SERIAL.TXT in the station directory\n"
      "  --serial-start N   write N into SERIAL.TXT first\n"
      "  --log FILE         append one JSON line per board and command to FILE\n"
      "                     (default: key File of section [Log] of Customize.ini)\n"
      "  --help             this text\n"
      "\n"
      "exit status: 0 success, 1 failure, 2 usage or start-up error,\n"
      "3 a check ran to its end with a negative result\n",
      out);
}

// A whole decimal number that fits 64 bits, digits only.
std::optional<uint64_t> DecimalNumber(const std::string& text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (n > (UINT64_MAX - digit) / 10) return std::nullopt;
    n = n * 10 + digit;
  }
  return n;
}

}  // namespace

void Register(Command command) { Registry().push_back(std::move(command)); }
const std::vector<Command>& Commands() { return Registry(); }

int UsageError(const std::string& text) {
  std::fprintf(stderr, "flashcli: %s\n(flashcli --help lists the commands and options)\n",
               text.c_str());
  return kExitUsage;
}

namespace {

// The production options, which take a value each: -1 when a is none of them,
// else 0 or a usage error's exit status.
int ProductionOption(const std::string& a, const std::optional<std::string>& value,
                     Options& options) {
  using flash::AbsolutePath;
  if (a == "--serial") {
    if (!value) return UsageError("--serial needs ADDR:WIDTH[:FORMAT]");
    SerialSpec spec;
    std::string error;
    if (!ParseSerialSpec(*value, spec, error))
      return UsageError("--serial " + *value + ": " + error);
    options.serial = spec;
  } else if (a == "--serial-start") {
    if (!value) return UsageError("--serial-start needs a number");
    options.serialStart = DecimalNumber(*value);
    if (!options.serialStart)
      return UsageError("--serial-start takes a decimal number, not " + *value);
  } else if (a == "--reset-sequence") {
    std::vector<ResetStep> steps;
    std::string error;
    if (!value) return UsageError("--reset-sequence needs a sequence such as D0R1W100D1R0W50");
    if (!ParseResetSequence(*value, steps, error)) return UsageError(error);
    options.resetSequence = *value;
  } else if (a == "--log") {
    if (!value || value->empty()) return UsageError("--log needs a file");
    options.log = AbsolutePath(*value);
  } else {
    return -1;
  }
  return 0;
}

// The command line into options and the command's name: -1 to go on, else
// the exit status (--help, a usage error).
int ParseCommandLine(const std::vector<std::string>& args, Options& options,
                     std::string& commandName) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::optional<std::string>& into) -> bool {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
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
      if (!value(options.port)) return UsageError("--port needs COMn, a device path, usb:VID:PID or a list COM1,COM2");
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
    } else if (a == "--serial" || a == "--serial-start" || a == "--log" ||
               a == "--reset-sequence") {
      std::optional<std::string> text;
      value(text);
      if (int code = ProductionOption(a, text, options); code != 0) return code;
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("unknown option " + a);
    } else if (commandName.empty()) {
      commandName = a;
    } else {
      options.positional.push_back(a);
    }
  }
  return -1;
}

}  // namespace
}  // namespace flash::cli

int main(int argc, char** argv) {
  using namespace flash::cli;
  const flash::Utf8Console console;
  Options options;
  std::string commandName;
  if (int code = ParseCommandLine(flash::ProgramArguments(argc, argv), options, commandName); code >= 0)
    return code;
  if (commandName.empty()) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  for (const Command& c : Commands()) {
    if (commandName != c.name) continue;
    int n = static_cast<int>(options.positional.size());
    if (n < c.minArgs || n > c.maxArgs)
      return UsageError(std::string("usage: flashcli ") + c.name + " " + c.synopsis);
    options.command = c.name;
    if (options.serial && commandName != "program" && commandName != "full")
      return UsageError("--serial goes with program and full only, not " + commandName);
    if (options.serialStart && !options.serial)
      return UsageError("--serial-start goes with --serial");
    return c.run(options);
  }
  return UsageError("unknown command " + commandName);
}
