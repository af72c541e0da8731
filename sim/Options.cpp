#include "sim/Options.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

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

std::optional<long> ParseCount(const std::string& text, long min, long max = LONG_MAX) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (v < min || v > max) return std::nullopt;
  return v;
}

// The eight CR bytes as 16 hex digits.
std::optional<std::array<uint8_t, 8>> ParseCr(const std::string& text) {
  if (text.size() != 16) return std::nullopt;
  std::array<uint8_t, 8> cr{};
  for (std::size_t k = 0; k < cr.size(); ++k) {
    auto b = ParseByte(text.substr(2 * k, 2));
    if (!b) return std::nullopt;
    cr[k] = *b;
  }
  return cr;
}

// CMD=BYTE, both in hex.
std::optional<std::pair<uint8_t, uint8_t>> ParseWrongAnswer(const std::string& text) {
  auto eq = text.find('=');
  if (eq == std::string::npos) return std::nullopt;
  auto cmd = ParseByte(text.substr(0, eq));
  auto ans = ParseByte(text.substr(eq + 1));
  if (!cmd || !ans) return std::nullopt;
  return std::pair{*cmd, *ans};
}

// Reads the arguments in order. Each group takes the options it knows; a
// missing or bad value sets the reason, which ends the reading.
class OptionReader {
 public:
  explicit OptionReader(const std::vector<std::string>& args) : args_(args) {}
  std::optional<SimOptions> Read(std::string* error);

 private:
  bool GlobalOption(const std::string& a);
  bool BoardOption(const std::string& a);
  bool FlashOption(const std::string& a);
  bool FaultOption(const std::string& a);
  bool DemoOption(const std::string& a);

  // The value of option a into value_; false, with the reason, when there is none.
  bool Need(const std::string& a, const char* what);
  void Fail(std::string why) { error_ = std::move(why); }
  // Where board options go: every board's, or those of the --board section read.
  BoardOptions& Target() { return section_ ? o_.sections[section_] : o_; }
  void StartSection(int board);
  // A --board naming no board is found only once -n, wherever it stands, is known.
  void CheckSections();
  // The parsed value into out; the reason, bad followed by the value, when it did not parse.
  template <class V, class T>
  void Set(const std::optional<V>& parsed, const char* bad, T& out) {
    if (parsed) out = static_cast<T>(*parsed);
    else Fail(bad + value_);
  }

  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  std::string value_;
  std::string error_;
  SimOptions o_;
  int section_ = 0;  // the board of the --board section read; 0 before any
};

std::optional<SimOptions> OptionReader::Read(std::string* error) {
  while (next_ < args_.size() && error_.empty()) {
    const std::string& a = args_[next_++];
    if (!GlobalOption(a) && !BoardOption(a) && !FlashOption(a) && !FaultOption(a) && !DemoOption(a))
      Fail("unknown option: " + a + " (see --help)");
  }
  if (error_.empty()) CheckSections();
  if (error_.empty()) return o_;
  if (error) *error = error_;
  return std::nullopt;
}

bool OptionReader::Need(const std::string& a, const char* what) {
  if (next_ < args_.size()) {
    value_ = args_[next_++];
    return true;
  }
  Fail(a + " needs " + what);
  return false;
}

void OptionReader::StartSection(int board) {
  section_ = board;
  // A section starts from what every board has: the options before the first --board.
  o_.sections.try_emplace(board, static_cast<const BoardOptions&>(o_));
}

void OptionReader::CheckSections() {
  for (const auto& [board, options] : o_.sections)
    if (board > o_.boards)
      Fail("--board " + std::to_string(board) + " names no board: there " +
           (o_.boards == 1 ? "is 1 board" : "are " + std::to_string(o_.boards) + " boards") +
           " (see -n)");
}

bool OptionReader::GlobalOption(const std::string& a) {
  if (a == "-h" || a == "--help") {
    o_.help = true;
  } else if (a == "-c" || a == "--catalogue") {
    if (Need(a, "a path")) o_.catalogue = value_;
  } else if (a == "-d" || a == "--device") {
    if (Need(a, "a name")) o_.device = value_;
  } else if (a == "-l" || a == "--link") {
    if (Need(a, "a path")) o_.linkPath = value_;
  } else if (a == "-q" || a == "--quiet") {
    o_.quiet = true;
  } else if (a == "-n" || a == "--boards") {
    const std::string bad = "the number of boards must lie between 1 and " + std::to_string(kMaxBoards) + ": ";
    if (Need(a, "a number")) Set(ParseCount(value_, 1, kMaxBoards), bad.c_str(), o_.boards);
  } else if (a == "--board") {
    std::optional<long> board;
    const std::string bad = "bad board number (1 to " + std::to_string(kMaxBoards) + "): ";
    if (Need(a, "a board number")) Set(ParseCount(value_, 1, kMaxBoards), bad.c_str(), board);
    if (board) StartSection(static_cast<int>(*board));
  } else {
    return false;
  }
  return true;
}

bool OptionReader::BoardOption(const std::string& a) {
  BoardOptions& b = Target();
  if (a == "-x" || a == "--crystal") {
    if (Need(a, "an index")) Set(ParseCount(value_, 0), "bad crystal index: ", b.crystal);
  } else if (a == "-t" || a == "--realistic") {
    b.realisticTiming = true;
  } else if (a == "-e" || a == "--erase-time") {
    if (Need(a, "milliseconds")) Set(ParseCount(value_, 0), "bad erase time: ", b.eraseMs);
  } else {
    return false;
  }
  return true;
}

bool OptionReader::FlashOption(const std::string& a) {
  BoardOptions& b = Target();
  if (a == "--flash") {
    if (!Need(a, "blank, pattern or a file")) return true;
    if (value_ == "blank") {
      b.initial = InitialFlash::Blank;
    } else if (value_ == "pattern") {
      b.initial = InitialFlash::Pattern;
    } else {
      b.initial = InitialFlash::File;
      b.initialFile = value_;
    }
  } else if (a == "-s" || a == "--save-flash") {
    if (Need(a, "a file")) b.saveFile = value_;
  } else if (a == "--cr") {
    if (Need(a, "16 hex digits")) Set(ParseCr(value_), "--cr needs 16 hex digits: ", b.cr);
  } else {
    return false;
  }
  return true;
}

bool OptionReader::FaultOption(const std::string& a) {
  BoardOptions& b = Target();
  Faults& f = b.faults;
  if (a == "--no-answer") {
    std::optional<uint8_t> command;
    if (Need(a, "a command byte")) Set(ParseByte(value_), "bad command byte: ", command);
    if (command) f.silentCommands.insert(*command);
  } else if (a == "--wrong-answer") {
    std::optional<std::pair<uint8_t, uint8_t>> answer;
    if (Need(a, "CMD=BYTE"))
      Set(ParseWrongAnswer(value_), "--wrong-answer needs CMD=BYTE in hex: ", answer);
    if (answer) f.wrongAnswers[answer->first] = answer->second;
  } else if (a == "--crc-error" || a == "--line-error") {
    int& block = a == "--crc-error" ? f.crcErrorBlock : f.lineErrorBlock;
    if (Need(a, "a block number"))
      Set(ParseCount(value_, 1), "bad block number (counted from 1): ", block);
  } else if (a == "--verify-error" || a == "--not-blank") {
    std::optional<uint32_t>& at = a == "--verify-error" ? f.verifyErrorAt : f.notBlankAt;
    if (Need(a, "an address")) Set(ParseHex(value_), "bad address: ", at);
  } else if (a == "--timing-limit-over") {
    f.timingLimitOver = true;
  } else if (a == "--never-reset") {
    f.neverReset = true;
  } else if (a == "--pull-cable-after") {
    if (Need(a, "a byte count")) Set(ParseCount(value_, 0), "bad byte count: ", b.pullCableAfter);
  } else {
    return false;
  }
  return true;
}

bool OptionReader::DemoOption(const std::string& a) {
  if (a == "--make-control-program") {
    if (Need(a, "a file")) o_.makeProgram = value_;
  } else if (a == "--for-crystal") {
    if (Need(a, "a crystal text")) o_.programCrystal = value_;
  } else if (a == "--program-size") {
    const std::string bad =
        "the program size must lie between 64 and " + std::to_string(kMaxControlProgram) + ": ";
    if (Need(a, "a size"))
      Set(ParseCount(value_, 64, static_cast<long>(kMaxControlProgram)), bad.c_str(), o_.programSize);
  } else {
    return false;
  }
  return true;
}

// The part of --help on serving several boards.
constexpr const char* kSeveralBoardsUsage = R"(
Several boards:
  -n, --boards N           serve N independent boards (1 to 64, default 1),
                           each on a pseudo-terminal of its own, with its own
                           flash and faults; with more than one, the link of
                           board K is PATH followed by K (-l /tmp/ttyB makes
                           /tmp/ttyB1, /tmp/ttyB2, ...)
      --board K            the board and fault options that follow, up to the
                           next --board, are for board K (1 to N) alone; those
                           before the first --board are for every board

Catalogue, device, link, -n, --quiet and the demo data are for all boards
wherever they stand; the crystal, timing, flash, CR and fault options are
board options. With several boards flashsim prints the terminal of each in
board order, a --save-flash FILE given for every board writes FILE1, FILE2,
..., and a pulled cable takes its own board off only: flashsim runs until
interrupted or until every cable is off. Board 3 of four with a byte that
does not program right:
  flashsim -d DEV -n 4 -l /tmp/ttyBOARD --board 3 --verify-error 0x1000
)";

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
)" + std::string(kSeveralBoardsUsage) + R"(
The board answers at the boot rate of its crystal until a control program is
started, then at the working rate byte 7 of the program selects (Baud2, else
twice Baud). Bytes the host sends at another rate arrive garbled, as on a
wire. A host that talks at the boot rate to a running control program is
taken to have had the board reset (unless --never-reset).
)";
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string* error) {
  return OptionReader(args).Read(error);
}

// ---- Setting up from the options ----

namespace {

// Regular files only: a FIFO or a device would block or never end.
bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
  std::string data;
  if (!ReadRegularFile(path, &data)) return false;
  out->assign(data.begin(), data.end());
  return true;
}

// The section the options name, as the catalogue spells it; empty when none.
// Without a name, the first section the programmer lists, in the capitals it
// lists it in.
std::string ChooseSection(const SimOptions& o, std::string* error) {
  profile::Cache profiles;
  std::shared_ptr<const profile::IniIndex> catalogue = profiles.Index(o.catalogue);
  if (!catalogue) {
    *error = o.catalogue + ": cannot be read";
    return {};
  }
  for (const std::string& name : catalogue->SectionNames()) {
    if (o.device.empty()) {
      if (!HasRequiredKeys(*catalogue, name)) continue;
      if (ChipProblem(ReadChipDefinition(catalogue.get(), name))) continue;
      std::string upper = name;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return upper;
    }
    if (!profile::EqualsNoCase(name, o.device)) continue;
    if (HasRequiredKeys(*catalogue, name)) return name;
    *error = o.device + ": the definition lacks a required key";
    return {};
  }
  *error = o.device.empty() ? o.catalogue + ": no complete device definition"
                            : o.device + ": no such section in " + o.catalogue;
  return {};
}

}  // namespace

BoardOptions OptionsForBoard(const SimOptions& o, int board) {
  auto section = o.sections.find(board);
  BoardOptions b = section == o.sections.end() ? static_cast<const BoardOptions&>(o) : section->second;
  if (o.boards > 1 && !b.saveFile.empty() && b.saveFile == o.saveFile) b.saveFile += std::to_string(board);
  return b;
}

std::string LinkForBoard(const SimOptions& o, int board) {
  if (o.linkPath.empty() || o.boards == 1) return o.linkPath;
  return o.linkPath + std::to_string(board);
}

std::optional<BoardConfig> BoardConfigFor(const SimOptions& o, std::string* error, int board) {
  const BoardOptions b = OptionsForBoard(o, board);
  std::string why;
  std::string section = ChooseSection(o, &why);
  if (section.empty()) {
    if (error) *error = why;
    return std::nullopt;
  }
  auto config = ConfigFromDefinition(ReadChipDefinition(o.catalogue, section), b.crystal, &why);
  if (!config) {
    if (error) *error = section + ": " + why;
    return std::nullopt;
  }
  config->realisticTiming = b.realisticTiming;
  config->eraseUs = b.eraseMs * 1000;
  if (b.cr) config->cr = *b.cr;
  config->faults = b.faults;
  return config;
}

bool ApplyInitialFlash(Board& board, const BoardOptions& o, std::string* error) {
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
