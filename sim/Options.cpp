#include "sim/Options.h"

#include <cctype>
#include <cstdlib>
#include <iterator>

#include "base/Catalogue.h"
#include "base/FileUtil.h"
#include "base/Profile.h"

namespace flash::sim {

namespace {

// A number in hexadecimal: "08", "0x08", "08H".
std::optional<uint32_t> ParseHex(std::string text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text = text.substr(2);
  if (!text.empty() && (text.back() == 'h' || text.back() == 'H')) text.pop_back();
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t v = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    v = v * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                           ? c - '0'
                                           : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
  }
  return v;
}

std::optional<uint8_t> ParseByte(const std::string& text) {
  auto v = ParseHex(text);
  if (!v || *v > 0xFF) return std::nullopt;
  return static_cast<uint8_t>(*v);
}

std::optional<long> ParseCount(const std::string& text, long min) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (v < min) return std::nullopt;
  return v;
}

}  // namespace

std::string SimUsage() {
  return R"(Usage: flashsim [options]

Plays a target board (boot ROM, control program and flash) on a
pseudo-terminal and prints the path of the terminal to open as the serial
port. Runs until interrupted (Ctrl+C) or until the cable is pulled.

Board:
  -c, --catalogue PATH     device catalogue to read (default: CHIPDEF.INI)
  -d, --device NAME        catalogue section to play (default: the first
                           complete one)
  -x, --crystal N          index of the crystal really on the board, in the
                           device's Clock list (default 0); it sets the boot rate
  -l, --link PATH          also make a symbolic link PATH to the terminal
  -t, --realistic          realistic timing: 10 bits a byte at the line rate;
                           every answer waits until the message it answers
                           could have crossed the wire
  -e, --erase-time MS      how long an erase keeps the board busy (default 2000)
      --flash blank|pattern|FILE
                           initial flash content: erased (default), a fixed
                           pattern, or a file written by --save-flash
  -s, --save-flash FILE    write the flash to FILE on exit (the regions one
                           after the other, raw bytes)
      --cr HEX             the eight CR bytes as 16 hex digits
                           (default 5AA50001FFFFFFFF)
  -q, --quiet              do not log what the board does (standard error)

Faults:
      --no-answer CMD      never answer command byte CMD (hex; repeatable):
                           18 sync, 00 data frame, 40 start frame, E8 rate
                           check, 08 program, 28 read, 38 erase, 39 CR read,
                           3A CR set, 48 blank check
      --wrong-answer CMD=B answer byte B (hex) to command CMD instead
      --crc-error N        the N-th program block (from 1) is answered with a
                           CRC error, the N-th read block goes out with a bad CRC
      --verify-error ADDR  the flash byte at ADDR (hex) does not program right
      --timing-limit-over  a verify error reports FFFF and FFFF as its values
      --not-blank ADDR     the flash byte at ADDR (hex) stays 00H after erasing
      --line-error N       line noise hits the N-th read block
      --never-reset        the board is never reset when the host asks for it
                           (a running control program stays, the download fails)
      --pull-cable-after N the cable comes off after the board has received
                           N bytes: the host's writes fail from then on

Demo data:
      --make-control-program FILE
                           write a control-program file this board accepts for
                           the device and stop
      --for-crystal TEXT   ... built for that crystal only (a "-TEXT" variant)
      --program-size N     ... of N bytes (default 1024)

  -h, --help               this text

The board answers at the boot rate of its crystal until a control program is
started, then at the working rate byte 7 of the program selects (Baud2, else
twice Baud). Bytes the host sends at another rate arrive garbled, as on a
wire. A host that talks at the boot rate to a running control program is
taken to have had the board reset (unless --never-reset).
)";
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string* error) {
  SimOptions o;
  auto fail = [&](const std::string& why) -> std::optional<SimOptions> {
    if (error) *error = why;
    return std::nullopt;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    auto need = [&](const char* what) -> bool {
      if (value(&v)) return true;
      if (error) *error = a + " needs " + what;
      return false;
    };
    if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "-c" || a == "--catalogue") {
      if (!need("a path")) return std::nullopt;
      o.catalogue = v;
    } else if (a == "-d" || a == "--device") {
      if (!need("a name")) return std::nullopt;
      o.device = v;
    } else if (a == "-x" || a == "--crystal") {
      if (!need("an index")) return std::nullopt;
      auto n = ParseCount(v, 0);
      if (!n) return fail("bad crystal index: " + v);
      o.crystal = static_cast<std::size_t>(*n);
    } else if (a == "-l" || a == "--link") {
      if (!need("a path")) return std::nullopt;
      o.linkPath = v;
    } else if (a == "-t" || a == "--realistic") {
      o.realisticTiming = true;
    } else if (a == "-e" || a == "--erase-time") {
      if (!need("milliseconds")) return std::nullopt;
      auto n = ParseCount(v, 0);
      if (!n) return fail("bad erase time: " + v);
      o.eraseMs = *n;
    } else if (a == "--flash") {
      if (!need("blank, pattern or a file")) return std::nullopt;
      if (v == "blank") {
        o.initial = InitialFlash::Blank;
      } else if (v == "pattern") {
        o.initial = InitialFlash::Pattern;
      } else {
        o.initial = InitialFlash::File;
        o.initialFile = v;
      }
    } else if (a == "-s" || a == "--save-flash") {
      if (!need("a file")) return std::nullopt;
      o.saveFile = v;
    } else if (a == "--cr") {
      if (!need("16 hex digits")) return std::nullopt;
      if (v.size() != 16) return fail("--cr needs 16 hex digits: " + v);
      std::array<uint8_t, 8> cr{};
      for (std::size_t k = 0; k < 8; ++k) {
        auto b = ParseByte(v.substr(2 * k, 2));
        if (!b) return fail("--cr needs 16 hex digits: " + v);
        cr[k] = *b;
      }
      o.cr = cr;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (a == "--no-answer") {
      if (!need("a command byte")) return std::nullopt;
      auto b = ParseByte(v);
      if (!b) return fail("bad command byte: " + v);
      o.faults.silentCommands.insert(*b);
    } else if (a == "--wrong-answer") {
      if (!need("CMD=BYTE")) return std::nullopt;
      auto eq = v.find('=');
      std::optional<uint8_t> cmd, ans;
      if (eq != std::string::npos) {
        cmd = ParseByte(v.substr(0, eq));
        ans = ParseByte(v.substr(eq + 1));
      }
      if (!cmd || !ans) return fail("--wrong-answer needs CMD=BYTE in hex: " + v);
      o.faults.wrongAnswers[*cmd] = *ans;
    } else if (a == "--crc-error" || a == "--line-error") {
      if (!need("a block number")) return std::nullopt;
      auto n = ParseCount(v, 1);
      if (!n) return fail("bad block number (counted from 1): " + v);
      (a == "--crc-error" ? o.faults.crcErrorBlock : o.faults.lineErrorBlock) = static_cast<int>(*n);
    } else if (a == "--verify-error" || a == "--not-blank") {
      if (!need("an address")) return std::nullopt;
      auto addr = ParseHex(v);
      if (!addr) return fail("bad address: " + v);
      (a == "--verify-error" ? o.faults.verifyErrorAt : o.faults.notBlankAt) = *addr;
    } else if (a == "--timing-limit-over") {
      o.faults.timingLimitOver = true;
    } else if (a == "--never-reset") {
      o.faults.neverReset = true;
    } else if (a == "--pull-cable-after") {
      if (!need("a byte count")) return std::nullopt;
      auto n = ParseCount(v, 0);
      if (!n) return fail("bad byte count: " + v);
      o.pullCableAfter = *n;
    } else if (a == "--make-control-program") {
      if (!need("a file")) return std::nullopt;
      o.makeProgram = v;
    } else if (a == "--for-crystal") {
      if (!need("a crystal text")) return std::nullopt;
      o.programCrystal = v;
    } else if (a == "--program-size") {
      if (!need("a size")) return std::nullopt;
      auto n = ParseCount(v, 64);
      if (!n || *n > static_cast<long>(kMaxControlProgram))
        return fail("the program size must lie between 64 and " +
                    std::to_string(kMaxControlProgram) + ": " + v);
      o.programSize = static_cast<std::size_t>(*n);
    } else {
      return fail("unknown option: " + a + " (see --help)");
    }
  }
  return o;
}

}  // namespace flash::sim

// ---- Setting up from the options ----

namespace flash::sim {

namespace {

// Regular files only: a FIFO or a device would block or never end.
bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
  std::string data;
  if (!ReadRegularFile(path, &data)) return false;
  out->assign(data.begin(), data.end());
  return true;
}

// The section the options name, as the catalogue spells it; empty when none.
std::string ChooseSection(const SimOptions& o, std::string* error) {
  CatalogueListing listing = ListDevices(o.catalogue);
  if (!listing.readable) {
    *error = o.catalogue + ": cannot be read";
    return {};
  }
  if (o.device.empty()) {
    if (listing.devices.empty()) *error = o.catalogue + ": no complete device definition";
    return listing.devices.empty() ? std::string() : listing.devices.front();
  }
  for (const std::string& name : profile::SectionNames(o.catalogue))
    if (profile::EqualsNoCase(name, o.device)) {
      if (!IsCompleteDefinition(o.catalogue, name)) {
        *error = o.device + ": the definition lacks a required key";
        return {};
      }
      return name;
    }
  *error = o.device + ": no such section in " + o.catalogue;
  return {};
}

}  // namespace

std::optional<BoardConfig> BoardConfigFor(const SimOptions& o, std::string* error) {
  std::string why;
  std::string section = ChooseSection(o, &why);
  if (section.empty()) {
    if (error) *error = why;
    return std::nullopt;
  }
  DeviceDefinition def = ReadDeviceDefinition(o.catalogue, section);
  auto config = ConfigFromDefinition(def, o.crystal, &why);
  if (!config) {
    if (error) *error = section + ": " + why;
    return std::nullopt;
  }
  config->realisticTiming = o.realisticTiming;
  config->eraseUs = o.eraseMs * 1000;
  if (o.cr) config->cr = *o.cr;
  config->faults = o.faults;
  return config;
}

bool ApplyInitialFlash(Board& board, const SimOptions& o, std::string* error) {
  switch (o.initial) {
    case InitialFlash::Blank:
      board.Flash().EraseAll();
      return true;
    case InitialFlash::Pattern:
      board.Flash().FillPattern();
      return true;
    case InitialFlash::File: {
      std::vector<uint8_t> bytes;
      if (!ReadFile(o.initialFile, &bytes)) {
        if (error) *error = o.initialFile + ": cannot be read";
        return false;
      }
      if (!board.Flash().Restore(bytes)) {
        if (error)
          *error = o.initialFile + ": holds " + std::to_string(bytes.size()) +
                   " bytes, the flash has " + std::to_string(board.Flash().TotalSize());
        return false;
      }
      return true;
    }
  }
  return false;
}

bool SaveFlash(const Board& board, const std::string& path, std::string* error) {
  std::vector<uint8_t> bytes = board.Flash().Dump();
  if (!ReplaceFileAtomically(path, std::string(bytes.begin(), bytes.end()))) {
    if (error) *error = path + ": cannot be written";
    return false;
  }
  return true;
}

bool WriteControlProgram(const SimOptions& o, std::string* error) {
  std::string why;
  std::string section = ChooseSection(o, &why);
  if (section.empty()) {
    if (error) *error = why;
    return false;
  }
  std::vector<uint8_t> bytes = MakeControlProgram(section, o.programCrystal, o.programSize);
  if (!ReplaceFileAtomically(o.makeProgram, std::string(bytes.begin(), bytes.end()))) {
    if (error) *error = o.makeProgram + ": cannot be written";
    return false;
  }
  return true;
}

}  // namespace flash::sim
