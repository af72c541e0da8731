// A production line's run: a serial number in each board from SERIAL.TXT,
// and a JSON line for each board in the production log; four simulated
// boards on pseudo-terminals behind COM1 to COM4.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "base/Sha256.h"
#include "diag/ProductionLog.h"
#include "support/FlatJson.h"
#include "support/GangRig.h"

namespace flash::test {
namespace {

using Record = std::map<std::string, JsonField>;

// Every line of the log, each checked to be one flat JSON object with every
// key in order, keyed by port (a board's lines in the order written).
std::multimap<std::string, Record> ReadLog(const std::string& text) {
  std::multimap<std::string, Record> byPort;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::vector<JsonField> fields = ParsedLine(line + "\n");
    std::vector<std::string> keys;
    for (const JsonField& f : fields) keys.push_back(f.key);
    EXPECT_EQ(keys, kLogKeys) << line;
    Record r;
    for (const JsonField& f : fields) r[f.key] = f;
    byPort.emplace(r["port"].value, r);
  }
  EXPECT_TRUE(text.empty() || text.back() == '\n');
  return byPort;
}

const Record& Only(const std::multimap<std::string, Record>& log, const std::string& port) {
  EXPECT_EQ(log.count(port), 1u) << port;
  static const Record kNone;
  auto it = log.find(port);
  return it == log.end() ? kNone : it->second;
}

uint16_t HexWord(const std::string& text) {
  return static_cast<uint16_t>(std::stoul(text, nullptr, 16));
}

class Production : public GangTest {
 protected:
  static constexpr const char* kAll = "--port COM1,COM2,COM3,COM4 ";

  // The file's byte sum as flashcli checksum gives it, before any patch.
  uint16_t FileChecksum() {
    ProgramRun r = Cli("checksum app.mhx");
    EXPECT_EQ(r.status, 0) << r.out;
    return HexWord(r.out.substr(0, 4));
  }
  // What the file holds at a (the fill FFH outside its data).
  uint8_t FileByte(uint32_t a) {
    if (a < kDataAt || a >= kDataAt + kDataSize) return 0xFF;
    return GangData(kDataSize, 5)[a - kDataAt];
  }
};

struct FormatCase {
  const char* spec;
  uint32_t address;
  // The bytes of 41 + board.
  std::vector<uint8_t> (*bytes)(unsigned board);
};

// Each format in a place of its own: inside the file's data, in a block the
// file leaves blank, at the very end of a region, in the second.
const FormatCase kFormats[] = {
    {"0x500:3", 0x500, [](unsigned k) { return std::vector<uint8_t>{uint8_t(41 + k), 0, 0}; }},
    {"8000:2:be", 0x8000, [](unsigned k) { return std::vector<uint8_t>{0, uint8_t(41 + k)}; }},
    {"0xFFFD:3:bcd", 0xFFFD,
     [](unsigned k) { return std::vector<uint8_t>{0, 0, uint8_t(0x41 + k)}; }},
    {"0x100004:5:ascii", 0x100004,
     [](unsigned k) { return std::vector<uint8_t>{'0', '0', '0', '4', uint8_t('1' + k)}; }},
};

TEST_F(Production, SerialNumbersReadBackFromEveryBoardInEveryFormat) {
  StartBoards();
  const uint16_t plain = FileChecksum();
  for (const FormatCase& c : kFormats) {
    SCOPED_TRACE(c.spec);
    for (auto& b : boards) b->EraseFlash();
    std::remove(dir.File("prod.jsonl").c_str());
    ProgramRun r = Cli(std::string(kAll) + "--serial " + c.spec +
                       " --serial-start 41 --log prod.jsonl full app.mhx");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(dir.Read("SERIAL.TXT"), "45\r\n");
    const auto log = ReadLog(dir.Read("prod.jsonl"));
    for (unsigned k = 0; k < 4; ++k) {
      const std::vector<uint8_t> want = c.bytes(k);
      EXPECT_EQ(boards[k]->ReadFlash(c.address, want.size()), want) << "board " << k + 1;
      // The rest of the file went in as it is.
      std::vector<uint8_t> rest = boards[k]->ReadFlash(kDataAt, kDataSize);
      for (std::size_t i = 0; i < want.size(); ++i) {
        const uint32_t a = c.address + static_cast<uint32_t>(i);
        if (a >= kDataAt && a < kDataAt + kDataSize) rest[a - kDataAt] = FileByte(a);
      }
      EXPECT_EQ(rest, GangData(kDataSize, 5));
      // The recorded checksum covers the patched bytes.
      int sum = plain;
      for (std::size_t i = 0; i < want.size(); ++i)
        sum += want[i] - FileByte(c.address + static_cast<uint32_t>(i));
      const Record& rec = Only(log, "COM" + std::to_string(k + 1));
      EXPECT_EQ(rec.at("serial").value, std::to_string(41 + k));
      EXPECT_EQ(HexWord(rec.at("checksum").value), static_cast<uint16_t>(sum & 0xFFFF));
    }
  }
}

TEST_F(Production, AFaultyBoardFailsAloneAndKeepsItsNumber) {
  sim::Faults f;
  f.verifyErrorAt = 0x0500;
  StartBoards(4, 2, f);
  ProgramRun r = Cli(std::string(kAll) + "--serial 0x8000:4:be --serial-start 7 --log prod.jsonl "
                     "full app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  for (int i : {0, 1, 3}) EXPECT_TRUE(Programmed(i)) << "board " << i + 1;
  EXPECT_FALSE(Programmed(2));
  EXPECT_EQ(dir.Read("SERIAL.TXT"), "11\r\n");
  const std::string result = dir.Read("MESSFILE.TXT");
  EXPECT_EQ(result.rfind("NG\r\nCOM3: ERROR !!", 0), 0u) << result;
  EXPECT_EQ(result.find("\r\n", 4), result.size() - 2) << result;

  std::string sha, error;
  ASSERT_TRUE(Sha256OfFile(dir.File("app.mhx"), sha, error)) << error;
  const auto log = ReadLog(dir.Read("prod.jsonl"));
  ASSERT_EQ(log.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    const std::string port = "COM" + std::to_string(k + 1);
    SCOPED_TRACE(port);
    const Record& rec = Only(log, port);
    EXPECT_EQ(rec.at("host").value, HostName());
    EXPECT_EQ(rec.at("device_path").value, boards[k]->SlavePath());
    EXPECT_EQ(rec.at("device").value, "DEMO_A");
    EXPECT_EQ(rec.at("crystal").value, "4MHz");
    EXPECT_EQ(rec.at("command").value, "full");
    EXPECT_EQ(rec.at("file").value, dir.File("app.mhx"));
    EXPECT_EQ(rec.at("file_sha256").value, sha);
    EXPECT_EQ(rec.at("serial").value, std::to_string(7 + k));
    EXPECT_EQ(rec.at("time").value.size(), std::string("2026-12-09T14:03:07.123+01:00").size());
    EXPECT_FALSE(rec.at("checksum").isString && rec.at("checksum").value.size() != 4);
    EXPECT_GT(std::stod(rec.at("seconds").value), 0.0);
    if (k == 2) {
      EXPECT_EQ(rec.at("result").value, "fail");
      EXPECT_NE(rec.at("message").value.find(" No.013 Program error\r\n"), std::string::npos);
    } else {
      EXPECT_EQ(rec.at("result").value, "ok");
      EXPECT_EQ(rec.at("message_id").value, "306");
      EXPECT_GT(std::stoull(rec.at("bytes").value), 0u);
    }
  }

  // The next run goes on from there: no number is handed out twice.
  for (auto& b : boards) b->EraseFlash();
  r = Cli(std::string(kAll) + "--serial 0x8000:4:be --log prod.jsonl program app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(dir.Read("SERIAL.TXT"), "15\r\n");
  EXPECT_EQ(boards[3]->ReadFlash(0x8000, 4), (std::vector<uint8_t>{0, 0, 0, 14}));
  EXPECT_EQ(ReadLog(dir.Read("prod.jsonl")).size(), 8u);
}

TEST_F(Production, ANumberTooWideFailsItsBoardBeforeAnythingIsSent) {
  StartBoards(2);
  ProgramRun r = Cli("--port COM1,COM2 --serial 0x8000:1:bcd --serial-start 99 --log prod.jsonl "
                     "full app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(boards[0]->ReadFlash(0x8000, 1), std::vector<uint8_t>{0x99});
  EXPECT_EQ(boards[1]->Stats().syncs, 0) << boards[1]->EventText();
  EXPECT_EQ(dir.Read("SERIAL.TXT"), "101\r\n");
  EXPECT_EQ(dir.Read("MESSFILE.TXT").rfind("NG\r\nCOM2: serial number 100: ", 0), 0u)
      << dir.Read("MESSFILE.TXT");
  const auto log = ReadLog(dir.Read("prod.jsonl"));
  const Record& failed = Only(log, "COM2");
  EXPECT_EQ(failed.at("result").value, "fail");
  EXPECT_EQ(failed.at("serial").value, "100");
  EXPECT_EQ(failed.at("message_id").value, "null");
  EXPECT_EQ(failed.at("checksum").value, "null");
  EXPECT_EQ(Only(log, "COM1").at("result").value, "ok");

  // One board alone: the same, from flashcli's own line.
  r = Cli("--port COM2 --serial 0x8000:1:bcd --log prod.jsonl program app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("flashcli: serial number 101: "), std::string::npos) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT").rfind("NG\r\nserial number 101", 0), 0u);
  EXPECT_EQ(dir.Read("SERIAL.TXT"), "102\r\n");
  EXPECT_EQ(ReadLog(dir.Read("prod.jsonl")).count("COM2"), 2u);
}

TEST_F(Production, BadSerialOptionsAreUsageErrorsThatTouchNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"--serial 0x8000:2 program app.mhx", "--serial-start"},  // no SERIAL.TXT yet
      {"--serial 0x8000:2 --serial-start 5 erase", "program and full only"},
      {"--serial-start 5 program app.mhx", "goes with --serial"},
      {"--serial 0xFFFF:2 --serial-start 5 program app.mhx", "one flash region"},
      {"--serial 0x10000:1 --serial-start 5 full app.mhx", "one flash region"},
      {"--serial 0x100001:2 --serial-start 5 program app.mhx", "always keep the fill byte"},
      {"--serial 0x500:9 --serial-start 5 program app.mhx", "1 to 8"},
      {"--serial 0x500:2:hex --serial-start 5 program app.mhx", "hex"},
      {"--serial 0x50G:2 --serial-start 5 program app.mhx", "not hexadecimal"},
      {"--serial 0x500:2 --serial-start -1 program app.mhx", "decimal number"},
      {"--serial 0x500:2 --serial-start 18446744073709551616 program app.mhx", "decimal number"},
      {"--log '' program app.mhx", "--log needs a file"},
  };
  for (const auto& [args, says] : cases) {
    ProgramRun r = Cli(std::string("--log prod.jsonl ") + args);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
    EXPECT_NE(r.out.find(says), std::string::npos) << args << "\n" << r.out;
    EXPECT_FALSE(dir.Exists("SERIAL.TXT")) << args;
    EXPECT_FALSE(dir.Exists("prod.jsonl")) << args;
  }
}

TEST_F(Production, TwoProcessesAtOnceNeverTakeTheSameNumber) {
  StartBoards();
  const std::string each = "for i in 1 2 3 4; do ./flashcli --no-reset --port %s --serial 0x8000:4 "
                           "--log prod.jsonl full app.mhx >/dev/null 2>&1 || echo failed; done";
  auto loop = [&](const char* ports) {
    std::string text = each;
    text.replace(text.find("%s"), 2, ports);
    return "(" + text + ")";
  };
  dir.Write("SERIAL.TXT", "1000\r\n");
  ProgramRun r = RunCommand("cd '" + dir.Path() + "' && { " + loop("COM1,COM2") + " & " +
                            loop("COM3,COM4") + " & wait; }");
  EXPECT_EQ(r.out.find("failed"), std::string::npos) << r.out;
  EXPECT_EQ(dir.Read("SERIAL.TXT"), "1016\r\n");
  std::set<uint64_t> taken;
  std::size_t lines = 0;
  for (const auto& [port, rec] : ReadLog(dir.Read("prod.jsonl"))) {
    ++lines;
    EXPECT_EQ(rec.at("result").value, "ok") << port;
    taken.insert(std::stoull(rec.at("serial").value));
  }
  EXPECT_EQ(lines, 16u);
  ASSERT_EQ(taken.size(), 16u);  // no number twice
  EXPECT_EQ(*taken.begin(), 1000u);
  EXPECT_EQ(*taken.rbegin(), 1015u);
}

// The file can no longer be written, even by root (who ignores its mode).
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
    ::chmod(path_.c_str(), 0444);
    if (::geteuid() == 0) immutable_ = SetImmutable(true);
  }
  ~ReadOnlyFile() {
    if (immutable_) SetImmutable(false);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  bool Holds() const { return ::geteuid() != 0 || immutable_; }

 private:
  bool SetImmutable(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
  }
  std::string path_;
  bool immutable_ = false;
};

TEST_F(Production, AReadOnlyLogFailsTheRunBeforeAnyBoardIsTouched) {
  StartBoards(2);
  dir.Write("prod.jsonl", "{\"earlier\":1}\n");
  ReadOnlyFile readOnly(dir.File("prod.jsonl"));
  if (!readOnly.Holds()) GTEST_SKIP() << "this file system cannot make a file read-only for root";
  for (const char* ports : {"COM1,COM2", "COM1"}) {
    SCOPED_TRACE(ports);
    ProgramRun r = Cli(std::string("--port ") + ports + " --log prod.jsonl full app.mhx");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("cannot append to the production log " + dir.File("prod.jsonl")),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir.Read("MESSFILE.TXT").rfind("NG\r\ncannot append to the production log", 0), 0u);
    EXPECT_EQ(boards[0]->Stats().syncs, 0);
  }
  EXPECT_EQ(dir.Read("prod.jsonl"), "{\"earlier\":1}\n");
}

TEST_F(Production, TheUnattendedRunAndSinglePortCommandsAppendTheirRecords) {
  StartBoards(1);
  // [Log] File, relative to the program's directory.
  dir.Write("Customize.ini", dir.Read("Customize.ini") + "[Log]\r\nFile=logs/line.jsonl\r\n");
  ASSERT_EQ(::mkdir(dir.File("logs").c_str(), 0755), 0);
  ASSERT_EQ(Cli("download").status, 0);
  if (ProgramBuilt("flash")) {
    // Without a display, and in the window (which a named platform shows off screen).
    InstallProgram(dir, "flash");
    for (const char* env : {"-u DISPLAY -u WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen"}) {
      ProgramRun r = RunCommand("cd '" + dir.Path() + "' && env " + env +
                                " ./flash app.mhx com1 no_dialog no_reset </dev/null");
      EXPECT_EQ(r.status, 0) << env << "\n" << r.out;
    }
  } else {
    ASSERT_EQ(Cli("full app.mhx").status, 0);
    ASSERT_EQ(Cli("full app.mhx").status, 0);
  }
  boards[0]->WriteFlash(0x0410, {0x00});
  EXPECT_EQ(Cli("compare app.mhx").status, 3);
  std::istringstream in(dir.Read("logs/line.jsonl"));
  std::vector<Record> recs;
  for (std::string line; std::getline(in, line);) {
    Record rec;
    for (const JsonField& f : ParsedLine(line + "\n")) rec[f.key] = f;
    recs.push_back(rec);
  }
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[0].at("command").value, "download");
  EXPECT_EQ(recs[0].at("result").value, "ok");
  EXPECT_EQ(recs[0].at("file").value, "null");
  EXPECT_EQ(recs[0].at("checksum").value, "null");
  for (int i : {1, 2}) {
    EXPECT_EQ(recs[i].at("command").value, "full");
    EXPECT_EQ(recs[i].at("result").value, "ok");
    EXPECT_EQ(recs[i].at("message_id").value, "306");
    EXPECT_EQ(recs[i].at("serial").value, "null");
    EXPECT_EQ(HexWord(recs[i].at("checksum").value), FileChecksum());
  }
  EXPECT_EQ(recs[3].at("command").value, "compare");
  EXPECT_EQ(recs[3].at("result").value, "negative");
  EXPECT_EQ(recs[3].at("port").value, "COM1");

  // Without a log nothing is written anywhere.
  ASSERT_EQ(::rename(dir.File("Customize.ini").c_str(), dir.File("Customize.old").c_str()), 0);
  boards[0]->PointCom(dir.Path(), 1);
  EXPECT_EQ(Cli("compare app.mhx").status, 3);
  EXPECT_EQ(ReadLog(dir.Read("logs/line.jsonl")).size(), 4u);
}

}  // namespace
}  // namespace flash::test
