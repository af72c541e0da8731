#pragma once
// The one way the core reaches the user, in two parts. FrontEnd is what the
// user sees and answers: boxes, the progress window, file choice, sounds.
// Every front end implements it: the Qt window, the headless console front
// end, test fakes. WindowSync keeps a main window in step with the session;
// only a front end with a main window implements it.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace flash {

struct SessionState;

enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxIcon { None, Information, Exclamation, Stop, Question };
enum class BoxAnswer { Ok, Cancel, Yes, No };
// Which window owns a box: none, the main window, or the open progress dialog.
enum class BoxOwner { None, MainWindow, ProgressDialog };

struct MessageBoxRequest {
  std::string text;
  std::string caption;
  BoxButtons buttons = BoxButtons::Ok;
  BoxIcon icon = BoxIcon::None;
  BoxOwner owner = BoxOwner::None;
};

// The first button of a box is its default answer.
BoxAnswer DefaultAnswer(BoxButtons buttons);

// The platform's standard result icons.
enum class StandardIcon { Information, Warning, Error };

// The three window heights of the progress dialog.
enum class ProgressHeight { ToBar, ToButton, Full };

// The window of a progress dialog. The core's ProgressDialog keeps the layout
// and cancel rules; this is only what the user sees.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  // Puts the text into the status line and repaints at once, without pumping.
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetButtonText(const std::string& text) = 0;
  virtual void SetButtonEnabled(bool enabled, bool takeFocus) = 0;
  virtual void SetBarEnabled(bool enabled) = 0;
  virtual void SetBar(int lower, int upper, int position) = 0;
  virtual void SetHeight(ProgressHeight height) = 0;
  virtual void CentreOnOwner() = 0;
  virtual void ShowOnTop() = 0;
  virtual void SetIcon(StandardIcon icon) = 0;
  // Handles every pending event of the user-interface thread; never waits.
  virtual void PumpMessages() = 0;
};

struct FileDialogRequest {
  std::string filter;            // "text|patterns|text|patterns||"
  std::string defaultExtension;  // without the dot; empty for none
  std::string initialDirectory;  // empty: the platform's choice
  std::string initialName;
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  virtual BoxAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;

  // Creates the progress window over the main window and disables the main
  // window while it exists. onButton runs (inside PumpMessages) when the user
  // presses the dialog's button. Null when the window cannot be created.
  virtual std::unique_ptr<ProgressWindow> CreateProgressWindow(std::function<void()> onButton) = 0;

  // The open- and save-file dialogs; nothing when the user cancels.
  virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;

  // Stops any sound, then plays a wave file asynchronously; a missing file
  // plays nothing (never the system's default sound).
  virtual void PlayWaveFile(const std::string& path) = 0;
  virtual void StopSound() = 0;
  virtual void Beep() = 0;

  // One diagnostic line for the engineer (standard error on every front end).
  virtual void LogLine(const std::string& line) = 0;
};

class WindowSync {
 public:
  virtual ~WindowSync() = default;
  // The window's selection, crystal, hex file and options into the state.
  virtual void ControlsToState(SessionState& state) = 0;
  // The state onto the window: lists, texts, region boxes, button states.
  virtual void StateToControls(const SessionState& state) = 0;
  virtual void FocusTargetList() = 0;
  virtual void RepaintNow() = 0;
  virtual void SetHexFileTooltip(const std::string& path) = 0;
  virtual void SetCommandGroupCaption(const std::string& caption) = 0;
};

// The stand-in of a session without a main window: every call does nothing.
WindowSync& NoWindow();

}  // namespace flash
