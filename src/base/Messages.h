#pragma once
// The numbered user messages and the small codes that travel with a result.
#include <cstdint>
#include <string>
#include <string_view>

namespace flash {

using MessageId = int32_t;

namespace msg {
inline constexpr MessageId kDownloadError = 201;
inline constexpr MessageId kTimeout = 203;
inline constexpr MessageId kOpenPort = 206;
inline constexpr MessageId kOpenDownloadFile = 207;
inline constexpr MessageId kPortInfo = 210;
inline constexpr MessageId kPortSetting = 211;
inline constexpr MessageId kCommunication = 212;
inline constexpr MessageId kReadError = 213;
inline constexpr MessageId kProgramError = 214;
inline constexpr MessageId kWriteError = 216;
inline constexpr MessageId kPortReadError = 218;
inline constexpr MessageId kEraseError = 219;
inline constexpr MessageId kFileAccess = 220;
inline constexpr MessageId kNoMemory = 227;
inline constexpr MessageId kErased = 301;
inline constexpr MessageId kBlank = 302;
inline constexpr MessageId kProgrammed = 303;
inline constexpr MessageId kIdentical = 305;
inline constexpr MessageId kFullOperationDone = 306;
inline constexpr MessageId kDownloaded = 307;
inline constexpr MessageId kCopyDone = 308;
inline constexpr MessageId kNoHexFile = 401;
inline constexpr MessageId kTitleDecoding = 502;
inline constexpr MessageId kTitleErasing = 510;
inline constexpr MessageId kTitleBlankChecking = 511;
inline constexpr MessageId kTitleProgramming = 513;
inline constexpr MessageId kTitleReadingComparing = 514;
inline constexpr MessageId kTitleDownloading = 516;
inline constexpr MessageId kTitleCopying = 517;
inline constexpr MessageId kRedoDownload = 537;
inline constexpr MessageId kNotBlank = 564;
inline constexpr MessageId kDifference = 566;
inline constexpr MessageId kCanceled = 560;
inline constexpr MessageId kWaveFileMistake = 558;
inline constexpr MessageId kCustomizeCaption = 559;
inline constexpr MessageId kAboutMenu = 101;
// A failure recorded in the result file without a numbered message (any id
// but 306 is written as NG).
inline constexpr MessageId kUnnumbered = 0;
}  // namespace msg

enum ResultKind : int8_t {
  KindInformation = 0,
  KindWarning = 1,
  KindError = 2,
  KindTransferError = 3,
};

enum SoundKind : int32_t {
  SoundNone = 0,
  SoundError = 1,
  SoundEnd = 2,
};

// English text of a message id, exactly as the user sees it; empty for an unknown id.
std::string_view MessageText(MessageId id);

// Caption of every result box.
inline constexpr std::string_view kResultCaption = "Dazur Ovaduv Odovov";
// Caption of the start-up failure boxes and the reset prompt.
inline constexpr std::string_view kAppCaption = "flash";
// Put in front of a status or title when the step runs inside a Full Operation.
inline constexpr std::string_view kFullOperationPrefix = "Full Operation - ";

}  // namespace flash
