// libFuzzer target for the settings files: the INI reader and writer, the
// device catalogue and the start-up that reads all three files, in process.
//
// Input framing: byte 0 holds flags, the rest is split at NUL bytes into
//   part 0  CHIPDEF.INI    (present when flag bit 0 is set)
//   part 1  Customize.ini  (bit 1)
//   part 2  DATAFILE.TXT   (bit 2)
//   part 3  "section\nkey\nvalue" for one WriteString / GetString round trip
//   part 4  command-line arguments separated by blanks (used when bit 3 is set)
// Bits 4-5 choose the file the round trip writes: the catalogue, the user
// settings, the recent choices or a file of its own. Bits 6-7 pick which
// other catalogue devices are applied after start-up.
//
// Checked beyond the sanitizers:
//  - start-up fails (REGIST FAILED) exactly when the catalogue is missing or
//    lists no device, and then the listing agrees with what StartUp kept;
//  - every listed device is complete, passes DefinitionProblem, appears once,
//    and every section is either listed or skipped;
//  - after start-up, and after applying other devices: deviceIndex and
//    crystalIndex lie inside their lists, 1 <= regionCount <= 10, every
//    region lies in one area of the flash image (whole, from the image base
//    the device sets), the region tables and texts match the definition, and
//    the boot rate is a line rate;
//  - the settings start-up loaded are what the free readers give;
//  - SaveRecentChoices, read back by a fresh session, gives the same choices
//    (for a hex-file path without a line break);
//  - WriteString then GetString of the same key gives the value back (when
//    the value has no surrounding blanks, no line break, is not enclosed in
//    double quotes, which the reader removes, and fits the 255 characters),
//    GetInt agrees with ParseProfileInt, the section is listed, and no other
//    key of the file changes value.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Startup.h"
#include "base/Catalogue.h"
#include "base/Clock.h"
#include "base/CommandLine.h"
#include "base/FileUtil.h"
#include "base/FlashImage.h"
#include "base/Profile.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "frontend/HeadlessFrontEnd.h"
#include "fuzz/FuzzTempDir.h"
#include "link/SerialLink.h"
#include "ops/StandardOutlets.h"
#include "tests/support/FakeClock.h"

namespace {

using namespace flash;
using flash::fuzz::FuzzTempDir;
using flash::test::FakeClock;

#define CHECK(cond)                  \
  do {                               \
    if (!(cond)) __builtin_trap();   \
  } while (0)

// Start-up never opens a port.
class NoPorts final : public PortFactory {
 public:
  std::unique_ptr<Port> Open(int, std::string* reason) override {
    if (reason) *reason = "no port in the profile fuzzer";
    return nullptr;
  }
};

std::FILE* DevNull() {
  static std::FILE* f = std::fopen("/dev/null", "w");
  return f;
}

// A fresh session per use: nothing carries over from one input to the next.
struct Rig {
  explicit Rig(const std::vector<std::string>& args)
      : ui(DevNull(), false), link(ports), session(ui, clock, link, CommandLine(args), StandardOutlets()) {}
  HeadlessFrontEnd ui;
  FakeClock clock;
  NoPorts ports;
  SerialLink link;
  Session session;
};

std::vector<std::string_view> SplitAt(std::string_view text, char sep, std::size_t maxParts) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < maxParts) {
    std::size_t at = text.find(sep);
    if (at == std::string_view::npos) break;
    parts.push_back(text.substr(0, at));
    text.remove_prefix(at + 1);
  }
  parts.push_back(text);
  return parts;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }
bool HasOuterBlank(std::string_view s) { return !s.empty() && (IsBlank(s.front()) || IsBlank(s.back())); }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The selected device as the session holds it must be the definition in the
// catalogue, and every region must lie whole inside one area of the image.
void CheckSelected(Session& s) {
  const SessionState& st = s.state;
  CHECK(st.deviceIndex >= 0 && static_cast<std::size_t>(st.deviceIndex) < st.deviceNames.size());
  const DeviceDefinition def = SelectedDevice(s);
  CHECK(!DefinitionProblem(def));
  CHECK(st.regionCount >= 1 && st.regionCount <= static_cast<int>(kMaxRegions));
  CHECK(static_cast<std::size_t>(st.regionCount) == def.regionEnds.size());
  CHECK(st.image.Base() == st.regionStarts[0]);
  for (int i = 0; i < st.regionCount; ++i) {
    const uint32_t start = st.regionStarts[i];
    const uint32_t end = st.regionEnds[i];
    CHECK(start == def.regionStarts[i] && end == def.regionEnds[i]);
    CHECK(start <= end);
    CHECK(st.image.Locate(start) != nullptr && st.image.Locate(end) != nullptr);
    CHECK(st.image.RoomAt(start) >= static_cast<std::size_t>(end - start) + 1);
    if (i > 0) CHECK(start > st.regionEnds[i - 1]);
  }
  for (int i = st.regionCount; i < static_cast<int>(kMaxRegions); ++i)
    CHECK(st.regionStarts[i] == 0 && st.regionEnds[i] == 0);
  CHECK(st.regionTexts[0] == AddressText(st.regionStarts[0]));
  CHECK(st.regionTexts[1] == AddressText(st.regionEnds[0]));
  CHECK(st.crystalTexts == def.clocks);
  CHECK(!st.crystalTexts.empty());
  CHECK(st.crystalIndex >= 0 && static_cast<std::size_t>(st.crystalIndex) < st.crystalTexts.size());
  CHECK(IsLineRate(SelectedBootBaud(s)));
  CHECK(IsLineRate(SelectedWorkingBaud(s)));
}

void CheckListing(const std::string& catalog, const CatalogueListing& listing) {
  const std::vector<std::string> sections = profile::SectionNames(catalog);
  CHECK(listing.devices.size() + listing.skipped.size() == sections.size());
  for (std::size_t i = 0; i < listing.devices.size(); ++i) {
    const std::string& name = listing.devices[i];
    CHECK(IsCompleteDefinition(catalog, name));
    CHECK(!DefinitionProblem(ReadDeviceDefinition(catalog, name)));
    bool isSection = false;
    for (const auto& sec : sections) isSection = isSection || Upper(sec) == name;
    CHECK(isSection);
    for (std::size_t j = 0; j < i; ++j) CHECK(listing.devices[j] != name);
  }
  // The first few skipped sections: each look parses the file again.
  for (std::size_t i = 0; i < listing.skipped.size() && i < 6; ++i) {
    const SkippedSection& skipped = listing.skipped[i];
    // A section skipped for a missing key lacks one; one skipped for a problem has one.
    CHECK(skipped.incomplete == FirstMissingKey(catalog, skipped.name).has_value());
    if (!skipped.incomplete) CHECK(DefinitionProblem(ReadDeviceDefinition(catalog, skipped.name)));
  }
}

// What start-up loaded through the session must be what the readers give.
void CheckLoadedSettings(Session& s) {
  const std::string custom = s.state.programDir + kCustomizeFile;
  const UserSettings& u = s.state.settings;
  CHECK(u.soundEnabled == profile::GetInt(custom, "Sound", "Sound", 0));
  CHECK(u.errorType == profile::GetInt(custom, "Sound", "ErrorType", 0));
  CHECK(u.endEnable == profile::GetInt(custom, "Sound", "EndEnable", 0));
  CHECK(u.toolTipsEnabled == profile::GetInt(custom, "Tool", "ToolTips", 0));
  CHECK(u.errorFile == profile::GetString(custom, "Sound", "ErrorPass", "<none>", 260));
  CHECK(u.endFile.size() <= 260);
  if (!s.args.PortIndex())
    CHECK(u.comPortIndex == static_cast<uint8_t>(profile::GetInt(custom, "Com", "Com", 0)));
  CHECK(CommandGroupCaption(u) == "Command  to  COM" + std::to_string(u.comPortIndex + 1));
  CHECK(!ComDevicePath(s.state.programDir, u.comPortIndex + 1).empty());
  if (!s.args.HexFile()) {
    const std::string recent = s.state.programDir + kRecentFile;
    CHECK(s.state.hexFilePath == profile::GetString(recent, "Recent", "Write File", "", 259));
  }
}

// A value the reader gives back exactly as it was written.
bool RoundTrips(std::string_view v) {
  if (v.size() > 255 || HasLineBreak(v) || HasOuterBlank(v)) return false;
  return !(v.size() >= 2 && v.front() == '"' && v.back() == '"');
}

// The keys each file is read for, looked at before and after a write.
std::vector<std::string_view> WatchedKeys(int target) {
  switch (target) {
    case 0: return {"DownloadFile", "LoadAddress", "StartAddress", "EndAddress", "Clock", "Baud", "Baud2"};
    case 1: return {"Com", "Sound", "ErrorPass", "COM1"};
    case 2: return {"CPU", "RATE", "Write File"};
    default: return {"Key"};
  }
}

void RoundTrip(const std::string& path, int target, std::string_view request) {
  auto parts = SplitAt(request, '\n', 3);
  if (parts.size() < 3) return;
  std::string_view section = parts[0], key = parts[1], value = parts[2];
  // Names the file format can hold: a section name without ']' and a key
  // that neither starts a comment or a header nor contains '='.
  if (HasLineBreak(section) || HasOuterBlank(section) || section.find(']') != std::string_view::npos)
    return;
  if (HasLineBreak(key) || HasOuterBlank(key) || key.find('=') != std::string_view::npos) return;
  if (!key.empty() && (key.front() == ';' || key.front() == '[')) return;
  if (!RoundTrips(value)) return;

  // Other values of the file before the write: up to four sections besides
  // the written one, each with the watched keys and the written key.
  std::vector<std::string> sections = profile::SectionNames(path);
  if (sections.size() > 4) sections.resize(4);
  sections.emplace_back(section);
  struct Seen {
    std::string section, key, value;
  };
  std::vector<Seen> before;
  for (const auto& sec : sections) {
    auto look = [&](std::string_view k) {
      if (profile::EqualsNoCase(sec, section) && profile::EqualsNoCase(k, key)) return;
      before.push_back({sec, std::string(k), profile::GetString(path, sec, k, "\x01missing", 4095)});
    };
    for (auto k : WatchedKeys(target)) look(k);
    look(key);
  }

  CHECK(profile::WriteString(path, section, key, value));
  CHECK(profile::GetString(path, section, key, "\x01missing") == value);
  CHECK(profile::GetInt(path, section, key, 0x5EED) == profile::ParseProfileInt(value));
  bool listed = false;
  for (const auto& sec : profile::SectionNames(path)) listed = listed || profile::EqualsNoCase(sec, section);
  CHECK(listed);
  for (const Seen& b : before)
    CHECK(profile::GetString(path, b.section, b.key, "\x01missing", 4095) == b.value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string_view> parts = SplitAt(rest, '\0', 5);
  parts.resize(5);

  const FuzzTempDir& dir = FuzzTempDir::Get();
  dir.Clear();
  const char* files[3] = {kCatalogueFile, kCustomizeFile, kRecentFile};
  for (int i = 0; i < 3; ++i)
    if (flags & (1 << i)) dir.Write(files[i], std::string(parts[i]));

  std::vector<std::string> args;
  if (flags & 8) {
    for (auto a : SplitAt(parts[4], ' ', 5))
      if (!a.empty()) args.emplace_back(a);
  }

  const std::string catalog = dir.File(kCatalogueFile);
  {
    Rig rig(args);
    Session& s = rig.session;
    const StartupStatus status = StartUp(s, dir.Path());
    const CatalogueListing listing = ListDevices(catalog);
    CHECK(listing.readable == IsRegularFile(catalog));
    if (listing.readable) CheckListing(catalog, listing);
    const bool usable = listing.readable && !listing.devices.empty();
    CHECK((status == StartupStatus::Ok) == usable);
    if (!usable) CHECK(status == StartupStatus::RegistFailed);

    if (status == StartupStatus::Ok) {
      CHECK(s.state.deviceNames == listing.devices);
      CheckSelected(s);
      CheckLoadedSettings(s);

      // Choosing other devices, as the window's list and flashcli do.
      const int selected = s.state.deviceIndex;
      const int count = static_cast<int>(s.state.deviceNames.size());
      const int others[3] = {0, count - 1, (flags >> 6) % count};
      for (int index : others) {
        s.state.deviceIndex = index;
        ApplySelectedDevice(s);
        CheckSelected(s);
      }
      s.state.deviceIndex = selected;
      ApplySelectedDevice(s);

      // The choices come back as they were saved.
      const int device = s.state.deviceIndex;
      const int crystal = s.state.crystalIndex;
      const std::string hexPath = s.state.hexFilePath;
      SaveRecentChoices(s);
      Rig again(args);
      again.session.state.programDir = dir.Path();
      LoadRecentChoices(again.session);
      // A path with a line break does not fit on its one line: written
      // as it is, its second line can stand for any key of [Recent].
      if (!HasLineBreak(hexPath)) {
        CHECK(again.session.state.deviceIndex == device);
        CHECK(again.session.state.crystalIndex == crystal);
      }
      if (RoundTrips(hexPath) && hexPath.size() <= 259)
        CHECK(again.session.state.hexFilePath == hexPath);
    }
  }

  static const char* const kTargets[4] = {kCatalogueFile, kCustomizeFile, kRecentFile, "ROUND.INI"};
  const int target = (flags >> 4) & 3;
  RoundTrip(dir.File(kTargets[target]), target, parts[3]);
  return 0;
}
