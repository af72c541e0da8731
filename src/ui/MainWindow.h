#pragma once
// The main window: device and crystal choice, hex file, flash regions and one
// button per command. It owns nothing of the work itself: the session holds
// the state, the engines run the commands, and the window shows the state.
#include <QDialog>
#include <QPointer>
#include <array>
#include <atomic>
#include <functional>
#include <string>

#include "ui/DialogUnits.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace flash {
struct Session;
struct SessionState;
}  // namespace flash

namespace flash::ui {

class QtFrontEnd;

// What the window's commands run. The program fills it with the flash
// engines (EngineActions); each flash command brings its own command frame.
struct WindowActions {
  std::function<void(Session&)> download;
  std::function<void(Session&)> erase;
  std::function<void(Session&)> blankCheck;
  std::function<void(Session&)> programVerify;
  std::function<void(Session&)> readCompare;
  std::function<void(Session&)> copy;
  std::function<void(Session&)> fullOperation;
  // The result text of the Check SUM dialog for a fill text.
  std::function<std::string(Session&, const std::string&)> checkSum;
};

class MainWindow final : public QDialog {
  Q_OBJECT
 public:
  MainWindow(Session& session, QtFrontEnd& frontEnd, WindowActions actions);
  ~MainWindow() override;

  // Data exchange between the controls and the session state.
  void ControlsToState(SessionState& state) const;
  void StateToControls(const SessionState& state);
  void FocusTargetList();
  void SetHexFileTooltip(const std::string& path);
  void SetCommandGroupCaption(const std::string& caption);

  // Runs a button id or a window command number (32771..32787, 16) as the
  // window does; a flash command whose button is disabled does nothing.
  void RunCommand(int command);
  // Whether a command is running (inside a button handler or an unattended run).
  bool Busy() const;
  // Runs a flash command unless one runs already; closes the window
  // afterwards when a close was asked for meanwhile.
  void RunFlashCommand(const std::function<void(Session&)>& command);
  // The flag a close during a command sets, so that the command stops at its
  // next look at the link (by default one of the window's own).
  void UseStopRequest(std::atomic<int>& stop);

  // The popup menus (COM1..COM4 on the command group, About on the version label).
  void ShowComPortMenu(const QPoint& globalPos);
  void ShowVersionMenu(const QPoint& globalPos);

  Session& session() { return session_; }

 public slots:
  void accept() override;  // Enter: nothing
  void reject() override;  // Escape: nothing unless closing

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void BuildSelection();
  void BuildRegionTable();
  void BuildCommandGroup();
  void BuildFooter();
  QPushButton* AddButton(int controlId, const char* caption, QRect geometry);
  QLabel* AddLabel(const char* text, QRect geometry, Qt::Alignment align = Qt::AlignLeft);
  void ActivateMnemonic(QChar letter);
  void ToggleCopyFormat();
  void ShowCopyCaption();
  void OpenCustomizeSheet();
  void OpenCheckSum();
  void OpenAbout();
  void OpenHelp();

  Session& session_;
  QtFrontEnd& frontEnd_;
  WindowActions actions_;
  DialogUnits du_;
  std::atomic<int> ownStop_{0};
  // A close came while a command ran: the window closes when it has returned.
  bool closeWhenIdle_ = false;
  // The focus asked for while the window was disabled, given when it is enabled.
  bool focusTargetWhenEnabled_ = false;

  QComboBox* targetList_ = nullptr;
  QComboBox* crystalList_ = nullptr;
  QLineEdit* hexFile_ = nullptr;
  QGroupBox* commandGroup_ = nullptr;
  QPushButton* copyButton_ = nullptr;
  QLabel* version_ = nullptr;
  std::array<QLabel*, 12> regions_{};
  QPointer<QWidget> help_;
  // The last right-button press that toggled Copy (a press offered to a
  // disabled button travels on to its parents and is seen again).
  quint64 lastToggleTimestamp_ = 0;
  QPointF lastTogglePos_;
};

}  // namespace flash::ui
