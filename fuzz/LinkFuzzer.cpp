// libFuzzer target for the host side of the serial link against a hostile
// board. Each input runs one command, exactly as the window runs it (its
// command frame included), over a fake port whose incoming bytes are the
// input's, in fake time.
//
// Input: five header bytes, then the board's bytes.
//   byte 0  command (value % 7): download, erase, blank check, program &
//           verify, read & compare, copy, Full Operation; (value / 7) % 7
//           picks a fault: none, the open is refused, the settings cannot be
//           read, cannot be set, the working rate is refused, the copy's save
//           dialog is cancelled, or it names a file that cannot be made
//   byte 1  bits 0-1 device, bit 2 second crystal, bit 3 no reset prompt,
//           bit 4 no progress dialogs, bits 5-6 byte spacing (0, 2, 60 or
//           700 ms), bit 7 the port hangs up once the bytes are used up
//   byte 2  bits 0-2 press Cancel at the 1st, 2nd, 4th ... 64th pump (0:
//           never), bit 3 copy as Intel HEX, bit 4 the reset prompt is
//           refused, bit 5 a CRC retry is refused, bit 6 the tick counter
//           wraps during the first download, bit 7 unattended run
//   byte 3  line errors: bit n set, the n-th look at the line errors finds one
//   byte 4  a stop request after that many port calls (0: none)
//
// The port: a read takes the next bytes, each arriving its spacing after the
// later of the previous byte and the host's last write, within the port's
// time-outs (80 ms after the last byte, 80 ms per byte asked plus 80 in
// all); when no byte is left it waits out its time-out and brings none (or,
// with bit 7, fails). Writes are accepted at once. A purge discards nothing:
// the board is taken to send only after it.
//
// Checked beyond the sanitizers:
//  - time: from each host message to the next the fake clock advances no
//    more than the longest wait the protocol allows for that message (its
//    answer limit in whole seconds plus one second of rounding and one read,
//    plus the fixed pauses of a download), checked at every port call and
//    sleep, so a wait that does not end is caught; the number of port calls
//    is bounded by the input's length;
//  - a stop request ends the command: no write after it, a few reads at most;
//  - the command frame closes the port and drops its progress dialog;
//  - only the command's own success message can come, at most once, last;
//  - a success message is allowed only when the recorded exchange is the
//    protocol of that command, message by message: the host sent the right
//    frames and commands (addresses, lengths, checksums, the control program
//    with its crystal byte, the CR word to keep, every non-blank 512-byte
//    block of the image with its CRC) and every answer it acted on was a
//    well-formed answer (answer bytes after skipped 00H and '0' busy bytes,
//    whole 514-byte read blocks with a good CRC and no line error); retries
//    after a CRC error or a line error must ask for the same block again;
//  - Read & Compare's success needs the blocks read to equal the hex file in
//    every region byte; Copy's needs the file written to hold exactly the
//    region bytes as read (every record checked), and no file may be left
//    by a copy that did not succeed.
#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "base/Catalogue.h"
#include "base/Clock.h"
#include "base/CommandLine.h"
#include "base/FileUtil.h"
#include "base/FrontEnd.h"
#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Session.h"
#include "fuzz/FuzzTempDir.h"
#include "link/Port.h"
#include "link/Primitives.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"
#include "ops/Engines.h"
#include "ops/StandardOutlets.h"
#include "tests/support/FakeClock.h"

namespace {

using namespace flash;
using flash::fuzz::FuzzTempDir;
using flash::test::FakeClock;
using Bytes = std::vector<uint8_t>;

#define CHECK(cond)                \
  do {                             \
    if (!(cond)) __builtin_trap(); \
  } while (0)

// ---- The devices of the fuzzer's catalogue --------------------------------

struct Run {
  uint32_t address;
  uint32_t length;
};

struct DeviceSpec {
  const char* name;
  const char* downloadFile;
  uint32_t loadAddress;
  std::vector<std::pair<uint32_t, uint32_t>> regions;  // inclusive ends
  std::vector<std::string> clocks;
  std::vector<int> bauds;
  std::vector<int> bauds2;
  bool intelHex;
  std::vector<Run> data;          // what the hex file holds
  const char* variantClock;       // a crystal with a control program of its own
  std::size_t variantSize;        // under 8 bytes: too short to carry the crystal byte
  bool baseProgram;               // whether DownloadFile itself is there
  int BootRate(int c) const { return bauds[c]; }
  int WorkingRate(int c) const { return bauds2.empty() ? 2 * bauds[c] : bauds2[c]; }
};

// Small regions, so a whole command is a few blocks: two regions with a gap;
// the base area and the high area with an end inside a block; three regions,
// one over the word the loader never stores (its second crystal's control
// program is too short); one region at the very top of the high area with one
// rate for boot and work (only its first crystal has a control program).
const std::vector<DeviceSpec>& Devices() {
  static const std::vector<DeviceSpec> devices = {
      {"FZ_A", "fza.cp", 0x1000, {{0x00000000, 0x000003FF}, {0x00001000, 0x000010FF}},
       {"4MHz", "8MHz"}, {9600, 19200}, {}, false, {{0x0000, 0x40}, {0x1080, 0x10}}, "8MHz", 20, true},
      {"FZ_B", "fzb.cp", 0x2000, {{0x00100000, 0x001001FF}, {0x20000000, 0x2000027F}},
       {"10MHz", "20MHz"}, {9600, 19200}, {57600, 115200}, true,
       {{0x00100000, 0x20}, {0x20000200, 0x80}}, nullptr, 0, true},
      {"FZ_C", "fzc.cp", 0x1000,
       {{0x00000000, 0x000001FF}, {0x00100000, 0x001001FF}, {0x00200000, 0x002000FF}},
       {"4MHz", "8MHz"}, {4800, 9600}, {}, false,
       {{0x0000, 0x20}, {0x00100000, 0x10}, {0x00200080, 0x80}}, "8MHz", 5, true},
      {"FZ_D", "fzd.cp", 0x3000, {{0x200FFE00, 0x200FFFFF}}, {"12MHz", "16MHz"},
       {38400, 38400}, {38400, 38400}, true, {{0x200FFFF0, 0x10}}, "12MHz", 16, false},
  };
  return devices;
}

uint8_t DataByte(uint32_t address) { return static_cast<uint8_t>(address * 7 + 3); }

Bytes ControlProgram(const DeviceSpec& d, bool variant) {
  Bytes p;
  const std::size_t size = variant ? d.variantSize : 24;
  for (std::size_t i = 0; i < size; ++i)
    p.push_back(static_cast<uint8_t>(i * 11 + (variant ? 9 : 5) + d.name[3]));
  return p;
}

std::string HexFileName(const DeviceSpec& d) { return std::string(d.name) + (d.intelHex ? ".hex" : ".mhx"); }

// What the image holds after the load: the file's bytes over the fill byte,
// except the base-area word indices 0x100002 and 0x100003, never stored.
uint8_t ExpectedByte(const DeviceSpec& d, uint32_t address) {
  const uint32_t base = d.regions[0].first;
  if (address < FlashImage::kHighStart && (address - base == 0x100002 || address - base == 0x100003))
    return 0xFF;
  for (const Run& r : d.data)
    if (address - r.address < r.length) return DataByte(address);
  return 0xFF;
}

std::string Catalogue() {
  std::string out;
  auto list = [](const auto& items, auto format) {
    std::string s;
    for (std::size_t i = 0; i < items.size(); ++i) s += (i ? "," : "") + format(items[i]);
    return s;
  };
  auto hex = [](uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", v);
    return std::string(buf);
  };
  for (const DeviceSpec& d : Devices()) {
    std::vector<uint32_t> starts, ends;
    for (auto [s, e] : d.regions) {
      starts.push_back(s);
      ends.push_back(e);
    }
    out += "[" + std::string(d.name) + "]\r\nDownloadFile=" + d.downloadFile + "\r\nLoadAddress=0x" +
           hex(d.loadAddress) + "\r\nStartAddress=" + list(starts, hex) + "\r\nEndAddress=" +
           list(ends, hex) + "\r\nFlashSize=4\r\nClock=" +
           list(d.clocks, [](const std::string& c) { return c; }) + "\r\nBaud=" +
           list(d.bauds, [](int b) { return std::to_string(b); }) + "\r\n";
    if (!d.bauds2.empty()) out += "Baud2=" + list(d.bauds2, [](int b) { return std::to_string(b); }) + "\r\n";
  }
  return out;
}

std::string HexFile(const DeviceSpec& d) {
  std::string out;
  for (const Run& r : d.data) {
    if (d.intelHex) out += FormatIntelExtAddress(r.address);
    for (uint32_t a = r.address; a < r.address + r.length; a += 16) {
      uint8_t bytes[16];
      const uint32_t n = std::min<uint32_t>(16, r.address + r.length - a);
      for (uint32_t i = 0; i < n; ++i) bytes[i] = DataByte(a + i);
      out += d.intelHex ? FormatIntelData(bytes, a & 0xFFFF, n) : FormatSRecord(bytes, a, 3, n);
    }
  }
  out += d.intelHex ? ":00000001FF\n" : FormatSRecord(nullptr, 0, 8, 0);
  return out;
}

constexpr const char* kCopyName = "copy.out";

void WriteFixedFiles() {
  const FuzzTempDir& dir = FuzzTempDir::Get();
  dir.Clear();
  dir.Write(kCatalogueFile, Catalogue());
  for (const DeviceSpec& d : Devices()) {
    Bytes p = ControlProgram(d, false);
    if (d.baseProgram) dir.Write(d.downloadFile, std::string(p.begin(), p.end()));
    if (d.variantClock) {
      Bytes v = ControlProgram(d, true);
      dir.Write(std::string(d.downloadFile) + "-" + d.variantClock, std::string(v.begin(), v.end()));
    }
    dir.Write(HexFileName(d), HexFile(d));
  }
}

// ---- Options ---------------------------------------------------------------

enum Engine { kDownload, kErase, kBlank, kProgram, kCompare, kCopy, kFull, kEngines };
enum PortFault {
  kNoFault,
  kOpenRefused,
  kNoSettings,
  kSettingsRefused,
  kRateRefused,
  kSaveCancelled,
  kSaveUnwritable,
  kFaults
};
constexpr std::size_t kHeader = 5;
constexpr uint32_t kSpacingMs[4] = {0, 2, 60, 700};
// The tick counter wraps this long after the start: inside the first sync wait.
constexpr uint32_t kWrapAfterMs = 2400;

struct Options {
  Engine engine;
  PortFault fault;
  int device;
  int crystal;
  bool resetPrompt;
  bool dialogs;
  uint32_t spacingMs;
  bool hangUpAtEnd;
  int cancelAtPump;
  bool intel;
  bool refuseReset;
  bool refuseRetry;
  bool nearWrap;
  bool unattended;
  uint8_t lineErrors;
  int stopAtCall;
};

Options ParseOptions(const uint8_t* h) {
  Options o{};
  o.engine = static_cast<Engine>(h[0] % kEngines);
  o.fault = static_cast<PortFault>((h[0] / kEngines) % kFaults);
  o.device = h[1] & 3;
  o.crystal = (h[1] >> 2) & 1;
  o.resetPrompt = !(h[1] & 8);
  o.dialogs = !(h[1] & 16);
  o.spacingMs = kSpacingMs[(h[1] >> 5) & 3];
  o.hangUpAtEnd = h[1] & 128;
  o.cancelAtPump = (h[2] & 7) ? 1 << ((h[2] & 7) - 1) : 0;
  o.intel = h[2] & 8;
  o.refuseReset = h[2] & 16;
  o.refuseRetry = h[2] & 32;
  o.nearWrap = h[2] & 64;
  o.unattended = h[2] & 128;
  o.lineErrors = h[3];
  o.stopAtCall = h[4];
  return o;
}

bool Trace() {
  static const bool on = std::getenv("LINK_FUZZER_TRACE") != nullptr;
  return on;
}

// ---- The wire: the fake port's both ends, and its record -------------------

struct Event {
  enum Kind : uint8_t { Open, Configure, Close, Write, Read, Purge, Rate, LineErrors } kind;
  int value = 0;  // rate, count asked for, or line-error flags
  Bytes bytes;    // written or received
  bool ok = true;
};

// Longest time the host may take from the end of one message to the start
// of the next: the answer limit of the message (in whole seconds on the wall
// clock, so up to a second more), one more read call, the reads that follow
// an answer, and 2 s for the download's pauses (1.5 s after the reset,
// 2 x 250 ms around the rate change).
uint64_t MessageBudgetMs(const Bytes& m, uint32_t wrapSlackMs) {
  constexpr uint64_t kByteRead = 160;  // one 1-byte read call: 80 + 80 ms
  constexpr uint64_t kPauses = 2000;
  auto poll = [](uint64_t limitSeconds) { return (limitSeconds + 1) * 1000 + kByteRead; };
  const uint64_t boot = 3000 + kByteRead + wrapSlackMs + kPauses;
  if (m.empty()) return kPauses;
  if (m.size() == 5) {
    switch (m[0]) {
      case kCmdProgramBlock:
      case kCmdCrSet: return poll(kBlockAnswerSeconds) + kPauses;
      case kCmdReadBlock: return 2 * poll(kBlockAnswerSeconds) + (80 * kBlockWithCrc + 80) + kPauses;
      case kCmdErase: return poll(kEraseAnswerSeconds) + kPauses;
      case kCmdCrRead: return poll(kCrAnswerSeconds) + (80 * 8 + 80) + kByteRead + kPauses;
      default: break;
    }
  }
  if (m.size() == 9 && m[0] == kCmdBlankCheck) return poll(kBlankAnswerSeconds) + 9 * kByteRead + kPauses;
  if (m.size() == kBlockWithCrc) return poll(kBlockAnswerSeconds) + 9 * kByteRead + kPauses;
  return boot;  // sync, boot frames and the control program's block, rate check
}

class Wire {
 public:
  Wire(const uint8_t* data, std::size_t size, const Options& o)
      : data_(data), size_(size), o_(o), callCap_(20000 + 16 * size) {}
  void Bind(FakeClock* clock) { clock_ = clock; }
  std::atomic<int>& StopFlag() { return stop_; }

  std::vector<Event> events;

  void Record(Event::Kind kind, int value = 0, Bytes bytes = {}, bool ok = true) {
    events.push_back({kind, value, std::move(bytes), ok});
  }

  // Written bytes are on the wire at once: they left with the last write.
  uint32_t LastWriteTick() const { return lastWriteTick_; }

  bool Write(const uint8_t* data, std::size_t count) {
    Begin(&writesAfterStop_);
    if (answering_) {
      CheckTime();
      message_.clear();
      answering_ = false;
    }
    message_.insert(message_.end(), data, data + count);
    lastWriteMs_ = Now();
    lastWriteTick_ = clock_->TickMs();
    const bool ok = !HungUp();
    Record(Event::Write, static_cast<int>(count), Bytes(data, data + count), ok);
    End();
    return ok;
  }

  bool Read(uint8_t* buffer, std::size_t count, std::size_t* received) {
    Begin(&readsAfterStop_);
    answering_ = true;
    *received = 0;
    if (HungUp()) {
      Record(Event::Read, static_cast<int>(count), {}, false);
      End();
      return false;
    }
    const uint64_t start = Now();
    const uint64_t total = start + 80 * count + 80;
    uint64_t lastByte = 0;
    std::size_t got = 0;
    while (got < count) {
      const uint64_t deadline = got == 0 ? total : std::min(total, lastByte + 80);
      if (pos_ >= size_) {
        // Nothing more comes; with a hang-up the next call fails.
        if (!o_.hangUpAtEnd) AdvanceTo(deadline);
        break;
      }
      const uint64_t arrives = std::max(lastArrival_, lastWriteMs_) + o_.spacingMs;
      if (arrives > deadline) {
        AdvanceTo(deadline);
        break;
      }
      AdvanceTo(arrives);
      buffer[got++] = data_[pos_++];
      lastArrival_ = lastByte = Now();
    }
    *received = got;
    Record(Event::Read, static_cast<int>(count), Bytes(buffer, buffer + got));
    CheckTime();
    End();
    return true;
  }

  uint32_t TakeLineErrors() {
    const uint32_t flags = lineLooks_ < 8 && (o_.lineErrors >> lineLooks_ & 1) ? kLineErrorFrame : 0;
    ++lineLooks_;
    Record(Event::LineErrors, static_cast<int>(flags));
    return flags;
  }

  // The time since the host's last message must stay within its budget.
  void CheckTime() {
    const uint32_t wrapSlack = o_.nearWrap ? kWrapAfterMs : 0;
    if (Now() - lastWriteMs_ > MessageBudgetMs(message_, wrapSlack)) __builtin_trap();
  }

  int WritesAfterStop() const { return writesAfterStop_; }
  int ReadsAfterStop() const { return readsAfterStop_; }

 private:
  uint64_t Now() const { return clock_->TotalAdvancedMs(); }
  void AdvanceTo(uint64_t t) {
    if (t > Now()) clock_->Advance(static_cast<uint32_t>(t - Now()));
  }
  bool HungUp() const { return o_.hangUpAtEnd && pos_ >= size_; }
  void Begin(int* afterStop) {
    if (stop_.load() != 0) ++*afterStop;
    if (++calls_ > callCap_) __builtin_trap();  // the host keeps calling without end
  }
  // The stop request comes between two calls, as a signal would.
  void End() {
    if (o_.stopAtCall != 0 && calls_ == static_cast<std::size_t>(o_.stopAtCall)) stop_.store(SIGINT);
  }

  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  const Options& o_;
  FakeClock* clock_ = nullptr;
  uint64_t lastArrival_ = 0;
  uint64_t lastWriteMs_ = 0;
  uint32_t lastWriteTick_ = 0;
  Bytes message_;
  bool answering_ = false;
  int lineLooks_ = 0;
  std::size_t calls_ = 0;
  std::size_t callCap_;
  std::atomic<int> stop_{0};
  int writesAfterStop_ = 0;
  int readsAfterStop_ = 0;
};

class FuzzPort final : public Port {
 public:
  FuzzPort(Wire& w, PortFault fault) : w_(w), fault_(fault) {}
  ~FuzzPort() override { w_.Record(Event::Close); }
  MessageId Configure(int rate) override {
    w_.Record(Event::Configure, rate);
    if (fault_ == kNoSettings) return msg::kPortInfo;
    if (fault_ == kSettingsRefused) return msg::kPortSetting;
    return 0;
  }
  MessageId SetBaudRate(int rate) override {
    w_.Record(Event::Rate, rate, {}, fault_ != kRateRefused);
    return fault_ == kRateRefused ? msg::kPortSetting : 0;
  }
  bool Write(const uint8_t* data, std::size_t count) override { return w_.Write(data, count); }
  bool Read(uint8_t* buffer, std::size_t count, std::size_t* received) override {
    return w_.Read(buffer, count, received);
  }
  bool Drain(uint32_t* leftAt) override {
    *leftAt = w_.LastWriteTick();
    return true;
  }
  void Purge(bool, bool) override { w_.Record(Event::Purge); }
  uint32_t TakeLineErrors() override { return w_.TakeLineErrors(); }

 private:
  Wire& w_;
  PortFault fault_;
};

class FuzzPorts final : public PortFactory {
 public:
  FuzzPorts(Wire& w, PortFault fault) : w_(w), fault_(fault) {}
  std::unique_ptr<Port> Open(int comNumber, std::string* reason) override {
    w_.Record(Event::Open, comNumber, {}, fault_ != kOpenRefused);
    if (fault_ == kOpenRefused) {
      if (reason) *reason = "in use by another program";
      return nullptr;
    }
    return std::make_unique<FuzzPort>(w_, fault_);
  }

 private:
  Wire& w_;
  PortFault fault_;
};

// FakeClock time, with every sleep held to the budget as well: a loop that
// only sleeps would otherwise never meet a port call.
class BudgetClock final : public Clock {
 public:
  BudgetClock(uint32_t tickStart, Wire& w) : fake_(tickStart), wire_(w) {}
  uint32_t TickMs() override { return fake_.TickMs(); }
  WallTime Now() override { return fake_.Now(); }
  LocalDate Today() override { return fake_.Today(); }
  void SleepMs(uint32_t ms) override {
    fake_.SleepMs(ms);
    wire_.CheckTime();
  }
  FakeClock& Fake() { return fake_; }

 private:
  FakeClock fake_;
  Wire& wire_;
};

// ---- The user ---------------------------------------------------------------

// Presses "Ok" whenever it waits, and Cancel once at the chosen pump.
class FuzzWindow final : public ProgressWindow {
 public:
  FuzzWindow(std::function<void()> onButton, int cancelAtPump, int& pumps)
      : onButton_(std::move(onButton)), cancelAtPump_(cancelAtPump), pumps_(pumps) {}
  void SetCaption(const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void SetButtonText(const std::string& text) override { text_ = text; }
  void SetButtonEnabled(bool enabled, bool) override { enabled_ = enabled; }
  void SetBarEnabled(bool) override {}
  void SetBar(int, int, int) override {}
  void SetHeight(ProgressHeight) override {}
  void CentreOnOwner() override {}
  void ShowOnTop() override {}
  void SetIcon(StandardIcon) override {}
  void PumpMessages() override {
    ++pumps_;
    if (!enabled_) return;
    if (text_ == "Ok" || text_ == "OK" || pumps_ == cancelAtPump_) onButton_();
  }

 private:
  std::function<void()> onButton_;
  int cancelAtPump_;
  int& pumps_;
  std::string text_;
  bool enabled_ = false;
};

class FuzzFrontEnd final : public FrontEnd {
 public:
  FuzzFrontEnd(const Options& o, std::string copyPath) : o_(o), copyPath_(std::move(copyPath)) {}
  BoxAnswer ShowMessageBox(const MessageBoxRequest& r) override {
    if (Trace()) std::fprintf(stderr, "box: %s\n", r.text.c_str());
    switch (r.buttons) {
      case BoxButtons::OkCancel: return o_.refuseReset ? BoxAnswer::Cancel : BoxAnswer::Ok;
      case BoxButtons::YesNo: return o_.refuseRetry ? BoxAnswer::No : BoxAnswer::Yes;
      default: return BoxAnswer::Ok;
    }
  }
  std::unique_ptr<ProgressWindow> CreateProgressWindow(std::function<void()> onButton) override {
    return std::make_unique<FuzzWindow>(std::move(onButton), o_.cancelAtPump, pumps_);
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override {
    if (o_.fault == kSaveCancelled) return std::nullopt;
    if (o_.fault == kSaveUnwritable) return DirectoryPart(copyPath_) + "missing/" + kCopyName;
    return copyPath_;
  }
  void PlayWaveFile(const std::string&) override {}
  void StopSound() override {}
  void Beep() override {}
  void LogLine(const std::string& line) override {
    if (Trace()) std::fprintf(stderr, "log: %s\n", line.c_str());
  }

 private:
  const Options& o_;
  std::string copyPath_;
  int pumps_ = 0;
};

// ---- The oracle: the recorded exchange against the protocol ----------------

struct ReadRec {
  std::size_t asked;
  Bytes got;
  bool ok;
};

// One host message (the writes up to the first read after them) and all that
// followed it up to the next message.
struct Segment {
  Bytes w;
  bool writeFailed = false;
  std::vector<ReadRec> reads;
  int openRate = 0;                                          // the rate the port had been opened at
  std::vector<int> rates;                                    // rate changes after the message
  std::vector<std::pair<std::size_t, uint32_t>> lineLooks;   // (reads before it, flags)
};

std::vector<Segment> Segments(const std::vector<Event>& events) {
  std::vector<Segment> segs(1);
  int openRate = 0;
  for (const Event& e : events) {
    Segment* cur = &segs.back();
    switch (e.kind) {
      case Event::Write:
        if (!cur->reads.empty() || !cur->lineLooks.empty() || !cur->rates.empty()) {
          segs.emplace_back();
          cur = &segs.back();
        }
        if (cur->w.empty()) cur->openRate = openRate;
        cur->w.insert(cur->w.end(), e.bytes.begin(), e.bytes.end());
        cur->writeFailed = cur->writeFailed || !e.ok;
        break;
      case Event::Read: cur->reads.push_back({static_cast<std::size_t>(e.value), e.bytes, e.ok}); break;
      case Event::Configure: openRate = e.value; break;
      case Event::Rate: cur->rates.push_back(e.ok ? e.value : -1); break;
      case Event::LineErrors:
        cur->lineLooks.emplace_back(cur->reads.size(), static_cast<uint32_t>(e.value));
        break;
      default: break;
    }
  }
  return segs;
}

Bytes Cmd(uint8_t c, uint32_t p0) {
  return {c, static_cast<uint8_t>(p0), static_cast<uint8_t>(p0 >> 8), static_cast<uint8_t>(p0 >> 16),
          static_cast<uint8_t>(p0 >> 24)};
}

Bytes BootFrame(uint8_t command, uint32_t address, uint32_t length) {
  Bytes f = Cmd(command, address);
  Bytes l = Cmd(0, length);
  f.insert(f.end(), l.begin() + 1, l.end());
  uint8_t sum = 0;
  for (uint8_t b : f) sum = static_cast<uint8_t>(sum + b);
  f.push_back(sum);
  return f;
}

Bytes BlankFrame(uint32_t start, uint32_t end) {
  Bytes f = Cmd(kCmdBlankCheck, start);
  Bytes e = Cmd(0, end + 1);
  f.insert(f.end(), e.begin() + 1, e.end());
  return f;
}

struct Matcher {
  const std::vector<Segment>& segs;
  const DeviceSpec& dev;
  const Options& o;
  std::size_t i = 0;
  std::map<uint32_t, Bytes> blocks;  // the 512 data bytes of each block read

  const Segment* Next() { return i < segs.size() ? &segs[i++] : nullptr; }

  // reads[from, end) are single-byte reads that bring skip* answer and end
  // there, with nothing read after it unless more reads are expected.
  static std::size_t AnswerEnd(const Segment& g, std::size_t from, bool pollSkipsBusy,
                               uint8_t* answer) {
    for (std::size_t k = from; k < g.reads.size(); ++k) {
      const ReadRec& r = g.reads[k];
      if (r.asked != 1 || !r.ok) return std::string::npos;
      if (r.got.empty()) continue;
      const uint8_t b = r.got[0];
      if (b == 0x00 || (pollSkipsBusy && b == kAnswerBusy)) continue;
      *answer = b;
      return k + 1;
    }
    return std::string::npos;
  }

  // The whole answer of a message is skipped bytes, then exactly `want`.
  static bool Answered(const Segment& g, uint8_t want, bool pollSkipsBusy) {
    uint8_t a = 0;
    std::size_t end = AnswerEnd(g, 0, pollSkipsBusy, &a);
    return end == g.reads.size() && a == want && !g.writeFailed;
  }

  bool Message(const Bytes& w, uint8_t want, bool pollSkipsBusy) {
    const Segment* g = Next();
    return g && g->w == w && Answered(*g, want, pollSkipsBusy);
  }

  bool Download() {
    const Segment* first = i < segs.size() ? &segs[i] : nullptr;
    if (!first || first->openRate != dev.BootRate(o.crystal)) return false;
    const bool variant = dev.variantClock && dev.clocks[o.crystal] == dev.variantClock;
    Bytes program = ControlProgram(dev, variant);
    program[7] = static_cast<uint8_t>(o.crystal);
    uint8_t sum = 0;
    for (uint8_t b : program) sum = static_cast<uint8_t>(sum + b);
    Bytes block = program;
    block.push_back(sum);
    if (!Message({0x18}, 0x11, false)) return false;
    if (!Message(BootFrame(0x00, dev.loadAddress, static_cast<uint32_t>(program.size())), 0x01, false))
      return false;
    if (!Message(block, 0x01, false)) return false;
    if (!Message({0x18}, 0x11, false)) return false;
    const Segment* start = i < segs.size() ? &segs[i] : nullptr;
    if (!Message(BootFrame(0x40, 0, 0), 0x31, false)) return false;
    if (start->rates != std::vector<int>{dev.WorkingRate(o.crystal)}) return false;
    return Message({0xE8}, 0x31, false);
  }

  bool CrRead(std::array<uint8_t, 8>* cr) {
    const Segment* g = Next();
    if (!g || g->w != Bytes{kCmdCrRead, 0x11, 0x22, 0x33, 0x44} || g->writeFailed) return false;
    std::size_t k = 0;
    bool busy = false;
    for (; k < g->reads.size() && !busy; ++k) {
      const ReadRec& r = g->reads[k];
      if (r.asked != 1 || !r.ok) return false;
      busy = r.got.size() == 1 && r.got[0] == kAnswerBusy;  // any other byte is passed over
    }
    if (!busy || k >= g->reads.size()) return false;
    const ReadRec& data = g->reads[k++];
    if (data.asked != 8 || !data.ok || data.got.size() != 8) return false;
    std::copy(data.got.begin(), data.got.end(), cr->begin());
    uint8_t closing = 0;  // its value is not examined
    return AnswerEnd(*g, k, true, &closing) == g->reads.size();
  }

  bool Erase() {
    std::array<uint8_t, 8> cr{};
    if (!CrRead(&cr)) return false;
    if (!Message(Cmd(kCmdErase, dev.regions[0].second), kAnswerDone, true)) return false;
    auto erased = [&](int from) {
      return std::all_of(cr.begin() + from, cr.begin() + from + 4, [](uint8_t b) { return b == 0xFF; });
    };
    // An erased first CR word: the control program went with the flash.
    if (erased(0) && o.resetPrompt && !Download()) return false;
    const int keep = erased(4) && !erased(0) ? 0 : 4;
    Bytes set = {kCmdCrSet};
    set.insert(set.end(), cr.begin() + keep, cr.begin() + keep + 4);
    return Message(set, kAnswerDone, true);
  }

  bool Blank() {
    for (auto [start, end] : dev.regions)
      if (!Message(BlankFrame(start, end), kAnswerDone, true)) return false;
    return true;
  }

  // 0 blank, 1 not blank, -1 no well-formed exchange.
  int Probe() {
    for (auto [start, end] : dev.regions) {
      const Segment* g = Next();
      if (!g || g->w != BlankFrame(start, end) || g->writeFailed) return -1;
      uint8_t a = 0;
      std::size_t k = AnswerEnd(*g, 0, true, &a);
      if (k == std::string::npos) return -1;
      if (a == kAnswerDone && k == g->reads.size()) continue;
      if (a != kAnswerFailed || g->reads.size() - k != 9) return -1;
      for (; k < g->reads.size(); ++k)
        if (g->reads[k].asked != 1 || !g->reads[k].ok) return -1;
      return 1;
    }
    return 0;
  }

  Bytes ExpectedBlock(uint32_t a) const {
    Bytes b(kBlockSize);
    for (uint32_t j = 0; j < kBlockSize; ++j) {
      const uint32_t x = a + j;
      bool inRegion = false;
      for (auto [s, e] : dev.regions) inRegion = inRegion || (x >= s && x <= e);
      b[j] = inRegion && x >= a ? ExpectedByte(dev, x) : 0xFF;
    }
    return b;
  }

  bool Program() {
    for (auto [start, end] : dev.regions) {
      for (uint64_t a64 = start; a64 <= end; a64 += kBlockSize) {
        const auto a = static_cast<uint32_t>(a64);
        Bytes block = ExpectedBlock(a);
        if (std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0xFF; })) continue;
        const uint16_t crc = BlockCrc(block.data(), block.size());
        block.push_back(static_cast<uint8_t>(crc >> 8));
        block.push_back(static_cast<uint8_t>(crc));
        for (;;) {
          if (!Message(Cmd(kCmdProgramBlock, a), kAnswerDone, true)) return false;
          const Segment* g = Next();
          if (!g || g->w != block || g->writeFailed) return false;
          uint8_t answer = 0;
          if (AnswerEnd(*g, 0, true, &answer) != g->reads.size()) return false;
          if (answer == kAnswerDone) break;
          if (answer != kAnswerCrcError) return false;  // '5': the block goes again
        }
      }
    }
    return true;
  }

  // Every block of every region read whole, with a good CRC and no line error.
  bool ReadAll() {
    for (auto [start, end] : dev.regions) {
      for (uint64_t a64 = start; a64 <= end; a64 += kBlockSize) {
        const auto a = static_cast<uint32_t>(a64);
        for (;;) {
          const Segment* g = Next();
          if (!g || g->w != Cmd(kCmdReadBlock, a) || g->writeFailed) return false;
          uint8_t answer = 0;
          std::size_t k = AnswerEnd(*g, 0, true, &answer);
          if (k == std::string::npos || answer != kAnswerDone || k >= g->reads.size()) return false;
          const ReadRec& data = g->reads[k++];
          if (data.asked != kBlockWithCrc || !data.ok) return false;
          if (g->lineLooks.size() != 1 || g->lineLooks[0].first != k) return false;
          if (g->lineLooks[0].second != 0) {
            if (k != g->reads.size()) return false;
            continue;  // damaged on the wire: asked for again
          }
          uint8_t closing = 0;
          if (AnswerEnd(*g, k, true, &closing) != g->reads.size() || closing != kAnswerDone) return false;
          Bytes block(kBlockWithCrc, 0);
          std::copy(data.got.begin(), data.got.end(), block.begin());
          if (BlockCrc(block.data(), block.size()) != 0) continue;  // retried at the user's word
          if (data.got.size() != kBlockWithCrc) return false;
          blocks[a] = Bytes(block.begin(), block.begin() + kBlockSize);
          break;
        }
      }
    }
    return true;
  }

  // The byte read for address x (inside a region).
  uint8_t ReadByteAt(uint32_t x) const {
    for (auto [start, end] : dev.regions) {
      if (x < start || x > end) continue;
      const uint32_t a = start + (x - start) / kBlockSize * kBlockSize;
      return blocks.at(a)[x - a];
    }
    __builtin_trap();
  }

  bool Compare() const {
    for (auto [start, end] : dev.regions)
      for (uint64_t x = start; x <= end; ++x)
        if (ReadByteAt(static_cast<uint32_t>(x)) != ExpectedByte(dev, static_cast<uint32_t>(x))) return false;
    return true;
  }

  bool Done() const { return i == segs.size(); }
};

int HexValue(const std::string& s, std::size_t at, std::size_t digits) {
  int v = 0;
  for (std::size_t k = 0; k < digits; ++k) {
    if (at + k >= s.size()) return -1;
    const char c = s[at + k];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

// The record bytes of one line after its mark: count, address, type, data, sum.
std::optional<Bytes> LineBytes(const std::string& line, std::size_t from) {
  if ((line.size() - from) % 2 != 0) return std::nullopt;
  Bytes out;
  for (std::size_t k = from; k < line.size(); k += 2) {
    int v = HexValue(line, k, 2);
    if (v < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

// The copy: CR LF lines, every record well formed, the data bytes exactly
// the region bytes, each once, as read.
bool CopyFileMatches(const std::string& path, const Matcher& m, bool intel) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  std::map<uint32_t, uint8_t> seen;
  std::size_t pos = 0;
  uint32_t upper = 0;
  bool ended = false;
  bool first = true;
  while (pos < text.size()) {
    const std::size_t eol = text.find("\r\n", pos);
    if (eol == std::string::npos || ended) return false;
    const std::string line = text.substr(pos, eol - pos);
    pos = eol + 2;
    if (intel) {
      if (line.empty() || line[0] != ':') return false;
      auto b = LineBytes(line, 1);
      if (!b || b->size() < 5 || (*b)[0] + 5u != b->size()) return false;
      uint8_t sum = 0;
      for (uint8_t x : *b) sum = static_cast<uint8_t>(sum + x);
      if (sum != 0) return false;
      const uint32_t offset = static_cast<uint32_t>((*b)[1]) << 8 | (*b)[2];
      switch ((*b)[3]) {
        case 0x00:
          for (uint8_t k = 0; k < (*b)[0]; ++k) {
            // A record never crosses a 64 KiB boundary.
            if (offset + k > 0xFFFF) return false;
            if (!seen.emplace(upper + offset + k, (*b)[4 + k]).second) return false;
          }
          break;
        case 0x04:
          if ((*b)[0] != 2) return false;
          upper = (static_cast<uint32_t>((*b)[4]) << 8 | (*b)[5]) << 16;
          break;
        case 0x01: ended = true; break;
        default: return false;
      }
    } else {
      if (line.size() < 2 || line[0] != 'S') return false;
      auto b = LineBytes(line, 2);
      if (!b || b->empty() || (*b)[0] + 1u != b->size()) return false;
      uint8_t sum = 0;
      for (uint8_t x : *b) sum = static_cast<uint8_t>(sum + x);
      if (sum != 0xFF) return false;
      const char type = line[1];
      if (first != (type == '0')) return false;  // the header line, first and only there
      if (type == '3') {
        if (b->size() < 6) return false;
        uint32_t a = 0;
        for (int k = 1; k <= 4; ++k) a = a << 8 | (*b)[k];
        for (std::size_t k = 5; k + 1 < b->size(); ++k)
          if (!seen.emplace(a + static_cast<uint32_t>(k - 5), (*b)[k]).second) return false;
      } else if (type == '8') {
        ended = true;
      } else if (type != '0') {
        return false;
      }
    }
    first = false;
  }
  if (!ended) return false;
  std::size_t total = 0;
  for (auto [start, end] : m.dev.regions) total += end - start + 1;
  if (seen.size() != total) return false;
  for (auto [address, value] : seen) {
    bool inRegion = false;
    for (auto [start, end] : m.dev.regions) inRegion = inRegion || (address >= start && address <= end);
    if (!inRegion || m.ReadByteAt(address) != value) return false;
  }
  return true;
}

// Whether the exchange recorded is the protocol of the command that reported
// success.
bool ExchangeFollowsProtocol(const std::vector<Segment>& segs, const Options& o, const DeviceSpec& dev,
                             const std::string& copyPath) {
  Matcher m{segs, dev, o, 0, {}};
  // Before the first message the port is opened and looked at, never read.
  if (segs.empty()) return false;
  if (segs[0].w.empty()) {
    if (!segs[0].reads.empty()) return false;
    m.i = 1;
  }
  if (o.engine != kDownload && o.engine != kFull) {
    // The control program runs: the port opens at its working rate.
    if (m.i >= segs.size() || segs[m.i].openRate != dev.WorkingRate(o.crystal)) return false;
  }
  bool ok = false;
  switch (o.engine) {
    case kDownload: ok = m.Download(); break;
    case kErase: ok = m.Erase(); break;
    case kBlank: ok = m.Blank(); break;
    case kProgram: ok = m.Program(); break;
    case kCompare: ok = m.ReadAll() && m.Compare(); break;
    case kCopy: ok = m.ReadAll() && CopyFileMatches(copyPath, m, o.intel); break;
    case kFull: {
      if (!m.Download()) return false;
      const int probe = m.Probe();
      if (probe < 0) return false;
      std::array<uint8_t, 8> cr{};
      if (probe == 0) {
        if (!m.CrRead(&cr)) return false;
        // A blank flash whose first CR word reads FF FF is erased all the same.
        if (cr[0] == 0xFF && cr[1] == 0xFF && !(m.Erase() && m.Blank())) return false;
        if (!m.CrRead(&cr)) return false;
      } else if (!(m.Erase() && m.Blank())) {
        return false;
      }
      ok = m.Program();
      break;
    }
    default: break;
  }
  return ok && m.Done();
}

constexpr MessageId kSuccessOf[kEngines] = {msg::kDownloaded, msg::kErased,    msg::kBlank,
                                            msg::kProgrammed, msg::kIdentical, msg::kCopyDone,
                                            msg::kFullOperationDone};

// The success message a report text carries, or 0.
MessageId SuccessIn(const std::string& text) {
  for (MessageId id : kSuccessOf) {
    std::string_view t = MessageText(id);
    if (text.compare(0, t.size(), t) == 0) return id;
  }
  return 0;
}

void RunCommand(Session& s, Engine e) {
  switch (e) {
    case kDownload: OnDownload(s); break;
    case kErase: OnErase(s); break;
    case kBlank: OnBlankCheck(s); break;
    case kProgram: OnProgramVerify(s); break;
    case kCompare: OnReadCompare(s); break;
    case kCopy: OnCopy(s); break;
    case kFull: OnFullOperation(s); break;
    default: break;
  }
}

const char* KindName(Event::Kind k) {
  static const char* names[] = {"open", "configure", "close", "write", "read", "purge", "rate", "line"};
  return names[k];
}

void PrintTrace(const Wire& wire, const Session& s) {
  for (const Event& e : wire.events) {
    std::fprintf(stderr, "%s %d%s", KindName(e.kind), e.value, e.ok ? "" : " FAILED");
    for (uint8_t b : e.bytes) std::fprintf(stderr, " %02X", b);
    std::fputc('\n', stderr);
  }
  for (const auto& t : s.state.reportTexts) std::fprintf(stderr, "report: %s\n", t.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const bool ready = (WriteFixedFiles(), true);
  (void)ready;
  if (size < kHeader) return 0;
  const Options o = ParseOptions(data);
  const DeviceSpec& dev = Devices()[static_cast<std::size_t>(o.device)];
  const FuzzTempDir& dir = FuzzTempDir::Get();
  const std::string copyPath = dir.File(kCopyName);
  dir.Remove(kCopyName);

  Wire wire(data + kHeader, size - kHeader, o);
  BudgetClock clock(o.nearWrap ? 0u - kWrapAfterMs : 0u, wire);
  wire.Bind(&clock.Fake());
  FuzzFrontEnd ui(o, copyPath);
  FuzzPorts ports(wire, o.fault);
  SerialLink link(ports);
  const std::string hexPath = dir.File(HexFileName(dev));
  std::vector<std::string> args;
  if (o.unattended) args.push_back(hexPath);
  Session s(ui, clock, link, CommandLine(args), StandardOutlets());
  s.stopRequest = &wire.StopFlag();
  if (!o.resetPrompt) s.args.SetResetPrompt(false);

  // The state after start-up with this device and crystal chosen, and, for
  // the flash commands, its control program running (as flashcli sets it).
  SessionState& st = s.state;
  st.programDir = dir.Path();
  st.catalogPath = dir.File(kCatalogueFile);
  for (const DeviceSpec& d : Devices()) st.deviceNames.emplace_back(d.name);
  st.deviceIndex = o.device;
  st.crystalIndex = o.crystal;
  ApplySelectedDevice(s);
  CHECK(st.regionCount == static_cast<int>(dev.regions.size()));
  st.linkBaud = SelectedWorkingBaud(s);
  CHECK(st.linkBaud == dev.WorkingRate(o.crystal));
  st.hexFilePath = hexPath;
  st.hexFileName = HexFileName(dev);
  st.copyAsIntelHex = o.intel;
  st.showDialogs = o.dialogs;
  st.unattendedResult = o.unattended;
  st.controlProgramRunning = o.engine != kDownload && o.engine != kFull;

  RunCommand(s, o.engine);
  wire.CheckTime();
  if (Trace()) PrintTrace(wire, s);

  // The command frame leaves nothing open.
  CHECK(!s.link.IsOpen());
  CHECK(!st.progressDialog);
  CHECK(!st.commandRunning);
  // A stop ends the command: no message after it, and only the reads that
  // take no look at the request.
  CHECK(wire.WritesAfterStop() == 0);
  CHECK(wire.ReadsAfterStop() <= 10);

  MessageId success = 0;
  for (std::size_t k = 0; k < st.reportTexts.size(); ++k) {
    const MessageId id = SuccessIn(st.reportTexts[k]);
    if (id == 0) continue;
    CHECK(id == kSuccessOf[o.engine]);
    CHECK(k + 1 == st.reportTexts.size());
    CHECK(st.lastReportId == id);
    success = id;
  }
  if (success != 0) CHECK(ExchangeFollowsProtocol(Segments(wire.events), o, dev, copyPath));
  // The copy's file is there only when the copy succeeded.
  CHECK(FileExists(copyPath) == (success == msg::kCopyDone));
  return 0;
}
