#pragma once
// The progress window every command drives: icon, status line, bar and one
// button. It is a window of its own (not a child of the main window, which Qt
// would grey out together with its disabled parent): it stays above the main
// window as its transient, and disables the main window while it exists.
#include <QPointer>
#include <QWidget>
#include <functional>

#include "base/FrontEnd.h"
#include "ui/DialogUnits.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace flash::ui {

class QtProgressWindow final : public QWidget, public ProgressWindow {
  Q_OBJECT
 public:
  // owner: the main window (may be null). onButton: what a press of the
  // button (or Enter/Escape while it is enabled) does.
  QtProgressWindow(QWidget* owner, std::function<void()> onButton);
  ~QtProgressWindow() override;

  void SetCaption(const std::string& caption) override;
  void SetStatusText(const std::string& text) override;
  void SetButtonText(const std::string& text) override;
  void SetButtonEnabled(bool enabled, bool takeFocus) override;
  void SetBarEnabled(bool enabled) override;
  void SetBar(int lower, int upper, int position) override;
  void SetHeight(ProgressHeight height) override;
  void CentreOnOwner() override;
  void ShowOnTop() override;
  void SetIcon(StandardIcon icon) override;
  void PumpMessages() override;

  // The client height of each of the three layouts, measured at creation.
  int HeightFor(ProgressHeight height) const;
  bool OwnerDisabled() const { return ownerDisabled_; }
  std::optional<StandardIcon> ShownIcon() const { return icon_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Press();

  QPointer<QWidget> owner_;
  std::function<void()> onButton_;
  bool ownerDisabled_ = false;
  DialogUnits du_;
  QLabel* iconLabel_;
  QLabel* status_;
  QProgressBar* bar_;
  QPushButton* button_;
  int fullHeight_ = 0;
  int heightToButton_ = 0;
  int heightToBar_ = 0;
  std::optional<StandardIcon> icon_;
};

// A text as a static control shows it: "&&" is one ampersand, a single "&"
// only marks a mnemonic, and CR LF is one line break.
QString StaticControlText(const std::string& text);

}  // namespace flash::ui
