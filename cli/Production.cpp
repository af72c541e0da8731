#include "cli/Production.h"

#include <cstdio>

#include "base/FileUtil.h"
#include "base/Messages.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "diag/DiagFiles.h"
#include "diag/SerialCounter.h"
#include "image/HexLoader.h"
#include "image/SerialPatch.h"

namespace flash::cli {
namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

std::string RegionList(const SessionState& st) {
  std::string list;
  for (int i = 0; i < st.regionCount; ++i)
    list += (i ? ", " : "") + Hex(st.regionStarts[i]) + "-" + Hex(st.regionEnds[i]);
  return list.empty() ? "none" : list;
}

// The command reads this file (program, compare, full) or writes it (copy).
bool WritesFile(const Options& options) { return options.command == "copy"; }

}  // namespace

int Production::Prepare(Session& first) {
  const SessionState& st = first.state;
  if (options_.serial) {
    const SerialSpec& spec = *options_.serial;
    if (!SerialFitsRegions(spec, st.regionStarts.data(), st.regionEnds.data(),
                           static_cast<std::size_t>(st.regionCount)))
      return UsageError("--serial: the " + std::to_string(spec.width) + " bytes at " +
                        Hex(spec.address) + " do not lie inside one flash region of " +
                        st.DeviceName() + " (" + RegionList(st) + ")");
    // Those bytes often belong to the chip's own settings: no number goes there.
    if (CoversKeptBytes(st.image, spec.address, spec.width))
      return UsageError("--serial: the " + std::to_string(spec.width) + " bytes at " +
                        Hex(spec.address) + " cover image bytes " + Hex(st.image.Base() + 0x100002) +
                        " and " + Hex(st.image.Base() + 0x100003) +
                        ", which always keep the fill byte");
    serialPath_ = StationFile(st, kSerialFile);
    std::string error;
    if (options_.serialStart && !WriteSerialStart(serialPath_, *options_.serialStart, error)) {
      std::fprintf(stderr, "flashcli: %s\n", error.c_str());
      return kExitFailure;
    }
    if (!IsRegularFile(serialPath_))
      return UsageError(serialPath_ + " holds the next serial number and is missing: "
                        "give --serial-start N once");
  }
  logPath_ = ProductionLogPath(first, options_.log);
  std::string why;
  if (!logPath_.empty() && !LogIsWritable(logPath_, why)) {
    std::fprintf(stderr, "flashcli: %s\n", why.c_str());
    WriteResultFile(first, msg::kUnnumbered, why);
    return kExitFailure;
  }
  if (!logPath_.empty() && !WritesFile(options_) && !options_.positional.empty())
    digest_ = FileDigest(AbsolutePath(options_.positional.front()));
  return kExitOk;
}

BoardFacts Production::StartBoard(Session& s) const {
  BoardFacts facts;
  facts.command = options_.command;
  facts.start = s.clock.Now();
  if (!options_.positional.empty()) facts.file = AbsolutePath(options_.positional.front());
  return facts;
}

void Production::TakeSerial(Session& s, BoardFacts& facts) const {
  if (!options_.serial) return;
  uint64_t n = 0;
  std::string error;
  if (!flash::TakeSerial(serialPath_, n, error)) {
    facts.failure = error;
    return;
  }
  facts.serial = n;
  std::vector<uint8_t> bytes;
  if (!EncodeSerial(n, *options_.serial, bytes, error)) {
    facts.failure = "serial number " + std::to_string(n) + ": " + error;
    return;
  }
  s.state.imagePatch = SessionState::ImagePatch{options_.serial->address, std::move(bytes)};
}

bool Production::Record(Session& s, BoardFacts& facts, std::string& why) const {
  facts.seconds = SecondsBetween(facts.start, s.clock.Now());
  if (logPath_.empty()) return true;
  // An input file is the same for every board; a read-out is each board's own.
  if (facts.file) facts.fileSha256 = WritesFile(options_) ? FileDigest(*facts.file) : digest_;
  return AppendBoardRecord(logPath_, s, facts, why);
}

}  // namespace flash::cli
