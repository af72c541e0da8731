#pragma once
// The main window's working state for the whole run: the selection, the
// paths, the flash regions of the selected device, the image, the link rate
// and the texts of the next report.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/FlashImage.h"
#include "base/Messages.h"
#include "base/Settings.h"

namespace flash {

class ProgressDialog;

inline constexpr std::size_t kMaxRegions = 10;
inline constexpr std::size_t kDisplayedRegions = 4;

struct SessionState {
  SessionState();
  ~SessionState();
  SessionState(const SessionState&) = delete;
  SessionState& operator=(const SessionState&) = delete;

  // Start, end and size texts ("%08XH") of the four displayed regions.
  std::array<std::string, 3 * kDisplayedRegions> regionTexts;
  std::string hexFileName;
  std::string operationTitle;
  int deviceIndex = 0;
  int crystalIndex = 0;
  std::string controlProgramPath;
  uint32_t loadAddress = 0;
  std::string catalogPath;
  std::string programDir;  // ends with the directory separator
  // Where the station's own files are kept (StationFile): programDir, or the
  // user's station directory when programDir is not writable. Set at start-up;
  // empty means programDir.
  std::string stationDir;
  std::string hexFilePath;
  std::array<uint32_t, kMaxRegions> regionStarts{};
  std::array<uint32_t, kMaxRegions> regionEnds{};
  int regionCount = 0;
  bool controlProgramRunning = false;
  bool showDialogs = true;
  std::string errorDetail;
  // Working rate of the running control program; before the first download,
  // the boot rate of the selected crystal (set when the device is applied).
  int linkBaud = 0;
  std::unique_ptr<ProgressDialog> progressDialog;
  bool copyAsIntelHex = false;
  FlashImage image;
  std::array<uint8_t, 4> statusGroup1{};
  std::array<uint8_t, 4> statusGroup2{};
  WallTime startTime;
  WallTime endTime;
  std::string errorAddressText;
  std::string flashValueText;
  std::string fileValueText;
  bool closing = false;
  UserSettings settings;
  // State of the CRC test switch's random sequence; never seeded, so the
  // n-th block of a run is hit in every run alike.
  uint32_t crcTestRandom = 1;
  // Message id of the last report (0 before any); an unattended run ends with
  // exit status 0 only when it is 306.
  int lastReportId = 0;
  ResultKind lastReportKind = KindInformation;
  std::string lastReportText;
  // What ended the last command when it reported nothing (a cancel, a refused
  // prompt, an unexpected answer, a stop); emptied by every report.
  std::string silentEnding;
  // A command runs (its scope is open): the window starts no second one and
  // a close waits for it to stop.
  bool commandRunning = false;
  // Set for runs whose result file a script reads (an unattended run,
  // flashcli): every command writes NG into it at once, and an ending that
  // reports nothing is named there.
  bool unattendedResult = false;
  // Writes of the result file so far, and whether one of them failed.
  int resultFileWrites = 0;
  bool resultFileFailed = false;
  // When the user answered the reset prompt (or the download went on without one).
  WallTime resetAnswered;
  // Every report of the run, oldest first (flashcli prints them all).
  std::vector<std::string> reportTexts;
  // Data bytes moved by the last command's transfers (for a summary line).
  uint64_t payloadBytes = 0;
  // Bytes laid over the image after each load of the hex file (a production
  // run's serial number), so the block CRCs and the verify cover them.
  struct ImagePatch {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
  };
  std::optional<ImagePatch> imagePatch;
  // A serial device named on the command line in place of what COMn maps to
  // (flashcli --port /dev/ttyUSB0 or usb:VID:PID); empty for the mapping.
  std::string portDevice;
  // The image holds the whole hex file (and the patch) as the last load left it.
  bool imageLoaded = false;

  // The Target MCU list (section names in upper case) and the Crystal
  // Frequency list of the selected device, as the window shows them.
  std::vector<std::string> deviceNames;
  std::vector<std::string> crystalTexts;

  // Name of the selected device (the list text at deviceIndex), empty when none.
  std::string DeviceName() const;
  // Text of the selected crystal, empty when none.
  std::string CrystalText() const;
};

}  // namespace flash
