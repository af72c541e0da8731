#pragma once
// The front end of the window program: Qt message boxes and file dialogs,
// the progress window, sounds, and the main window's controls.
#include <QPointer>
#include <QString>

#include "base/FrontEnd.h"
#include "ui/SoundPlayer.h"

class QWidget;

namespace flash::ui {

class MainWindow;
class QtProgressWindow;

class QtFrontEnd final : public FrontEnd, public WindowSync {
 public:
  QtFrontEnd();
  ~QtFrontEnd() override;

  // The window whose controls the state updates reach; null before it exists.
  void SetMainWindow(MainWindow* window);
  MainWindow* Window() const;

  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  std::unique_ptr<ProgressWindow> CreateProgressWindow(std::function<void()> onButton) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  void PlayWaveFile(const std::string& path) override;
  void StopSound() override;
  void Beep() override;
  void ControlsToState(SessionState& state) override;
  void StateToControls(const SessionState& state) override;
  void FocusTargetList() override;
  void RepaintNow() override;
  void SetHexFileTooltip(const std::string& path) override;
  void SetCommandGroupCaption(const std::string& caption) override;
  void LogLine(const std::string& line) override;

  SoundPlayer& Sounds() { return sounds_; }
  // The progress window that exists now, if any.
  QtProgressWindow* CurrentProgressWindow() const;
  // The window a box of this owner is shown over: never a disabled one, which
  // would leave the box disabled too.
  QWidget* OwnerWidget(BoxOwner owner) const;

 private:
  QPointer<MainWindow> window_;
  QPointer<QtProgressWindow> progress_;
  SoundPlayer sounds_;
};

// "text|patterns|text|patterns||" as Qt's file dialogs take it:
// "text (p1 p2);;text (p)". A text that already ends in its pattern list in
// brackets keeps its words; the patterns are separated by blanks.
QString QtFilterList(const std::string& filter);

}  // namespace flash::ui
