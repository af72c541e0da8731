#pragma once
// Every control keeps its numeric id as the "controlId" property, so the code
// and the tests speak of 1045 as the rest of the program does.
#include <QWidget>

#include "base/CommandButtons.h"

namespace flash::ui {

namespace id {
using namespace flash::id;
// Main window controls that are not command buttons.
inline constexpr int kLogo = 1111;
inline constexpr int kRegionFirst = 1047;  // 1047..1058: start, end, size of four regions
// Progress dialog.
inline constexpr int kProgressIcon = 1031;
inline constexpr int kProgressStatus = 1105;
inline constexpr int kProgressBar = 1103;
inline constexpr int kProgressButton = 2;
// Check SUM dialog.
inline constexpr int kFillData = 1082;
inline constexpr int kCheckSumButton = 1084;
inline constexpr int kCheckSumResult = 1083;
inline constexpr int kOk = 1;
// Customize sheet.
inline constexpr int kComNumber = 1085;
inline constexpr int kEnableSound = 1004;
inline constexpr int kEventLabel = 1006;
inline constexpr int kEventList = 1012;
inline constexpr int kSoundTypeGroup = 1007;
inline constexpr int kWave = 1013;
inline constexpr int kBeep = 1014;
inline constexpr int kWaveFileLabel = 1008;
inline constexpr int kWaveFile = 1017;
inline constexpr int kWaveOpen = 1005;
inline constexpr int kWavePlay = 1009;
inline constexpr int kWaveStop = 1010;
inline constexpr int kToolTips = 1015;
// Not numbered by the resources: the Linux device behind COMn.
inline constexpr int kComDevice = 90001;
}  // namespace id

// Window commands that reach the same handlers as the buttons.
namespace cmd {
inline constexpr int kDownload = 32771;
inline constexpr int kErase = 32772;
inline constexpr int kBlankCheck = 32773;
inline constexpr int kProgram = 32774;
inline constexpr int kCompare = 32775;
inline constexpr int kCopy = 32776;
inline constexpr int kOpen = 32777;
inline constexpr int kSetEnvironment = 32778;
inline constexpr int kFullOperation = 32779;
inline constexpr int kHelp = 32782;
inline constexpr int kCom1 = 32784;  // .. kCom1 + 3 = COM4
inline constexpr int kAbout = 16;    // the system-menu entry
}  // namespace cmd

void SetControlId(QWidget* widget, int controlId);
int ControlId(const QWidget* widget);
// The descendant of root with that id; null when there is none.
QWidget* FindControl(const QWidget* root, int controlId);

template <typename T>
T* Control(const QWidget* root, int controlId) {
  return qobject_cast<T*>(FindControl(root, controlId));
}

}  // namespace flash::ui
