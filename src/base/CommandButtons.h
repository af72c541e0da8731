#pragma once
// Which command buttons of the main window can be used. Two states:
// not downloaded, and downloaded (the control program runs in the target).
#include <string_view>

namespace flash {

struct Session;
struct SessionState;

namespace id {
inline constexpr int kErase = 1035;
inline constexpr int kProgram = 1036;
inline constexpr int kCompare = 1037;
inline constexpr int kCopy = 1038;
inline constexpr int kOpen = 1039;
inline constexpr int kBlankCheck = 1040;
inline constexpr int kFullOperation = 1041;
inline constexpr int kDownload = 1042;
inline constexpr int kSetEnvironment = 1043;
inline constexpr int kCheckSum = 1044;
inline constexpr int kTargetList = 1045;
inline constexpr int kCrystalList = 1046;
inline constexpr int kHexFile = 1020;
inline constexpr int kVersion = 1027;
inline constexpr int kCommandGroup = 1080;
inline constexpr int kHelp = 2000;
}  // namespace id

// The two parts whose Erase works before any download.
bool EraseWithoutDownload(std::string_view deviceName);

// Whether the button with this id is enabled in the state's button state.
bool CommandButtonEnabled(const SessionState& state, int buttonId);

// Not-downloaded state: clears controlProgramRunning and shows it.
void ResetCommandButtons(Session& s);
// Downloaded state, after a successful download.
void EnableFlashCommands(Session& s);

}  // namespace flash
