#pragma once
// Help: the compiled help file in the user's language when the desktop has a
// viewer for it, otherwise the user guide that ships beside the program.
#include <string>

class QWidget;

namespace flash::ui {

inline constexpr const char* kHelpFileEnglish = "zozaze_html.chm";
inline constexpr const char* kHelpFileJapanese = "radido_html.chm";
// The user guide, relative to the program's directory.
inline constexpr const char* kUserGuide = "doc/index.html";

bool SystemLocaleIsJapanese();

// programDir + the help file of the language.
std::string HelpFilePath(const std::string& programDir, bool japanese);

// Opens help without an owner window and returns at once. Returns the
// program's own help window when it had to show the guide itself (no desktop
// viewer), else null. A missing file shows no message.
QWidget* ShowHelp(const std::string& programDir, bool japanese);

// The window that shows the guide when the desktop cannot.
QWidget* OpenGuideWindow(const std::string& guidePath);

}  // namespace flash::ui
