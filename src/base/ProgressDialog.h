#pragma once
// The progress dialog every command drives: status line, bar with its
// "%d / %d" caption, one button whose text and meaning follow the layout
// word, and the result icon. The rules live here; the window is the front end's.
#include <memory>
#include <optional>
#include <string>

#include "base/FrontEnd.h"

namespace flash {

// Layout word bits.
inline constexpr int kLayoutOk = 1;          // button text "Ok"
inline constexpr int kLayoutCancel = 2;      // button text "Cancel" (when bit 1 is clear)
inline constexpr int kLayoutActive = 4;      // button enabled; CheckCancel looks at presses
inline constexpr int kLayoutBar = 8;         // progress bar enabled

// The layout words the commands use.
inline constexpr int kLayoutStatusOnly = 0;        // the status line alone: no bar, no button
inline constexpr int kLayoutBarOnly = kLayoutBar;  // status and bar, no button to press
// 14: status, bar and an enabled "Cancel".
inline constexpr int kLayoutBarCancel = kLayoutBar | kLayoutActive | kLayoutCancel;
// 13: the "Ok" result form; what -1 stands for.
inline constexpr int kLayoutDefault = kLayoutBar | kLayoutActive | kLayoutOk;

class ProgressDialog {
 public:
  // style -1 stands for 13.
  explicit ProgressDialog(int style = -1);
  ~ProgressDialog();  // destroys the window, which enables the main window again
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  // Creates the window (through the front end) and applies the layout,
  // centred. False when the window cannot be created.
  bool Open(FrontEnd& ui);
  bool IsOpen() const { return window_ != nullptr; }

  void SetLayout(int style, bool centre, const std::optional<std::string>& caption);
  void SetCaption(const std::string& caption);
  void ShowStatus(const std::string& text);
  void SetBar(int lower, int upper, int step, int position);
  void SetPosition(int position);
  void StepBar();
  // Whether the button was pressed since the last call; false at once
  // (without pumping) while the button is not active.
  bool CheckCancel();
  void SetIcon(StandardIcon icon);
  void SetButtonText(const std::string& text);

  // What the button does: only notes the press.
  void PressButton() { cancelRequested_ = true; }

  int Style() const { return style_; }
  int Lower() const { return lower_; }
  int Upper() const { return upper_; }
  int Step() const { return step_; }
  int Position() const { return position_; }
  bool CancelActive() const { return cancelActive_; }
  const std::string& Status() const { return status_; }
  const std::string& Caption() const { return caption_; }
  const std::string& ButtonText() const { return buttonText_; }

 private:
  void ShowPosition(int position);

  std::unique_ptr<ProgressWindow> window_;
  int style_;
  int lower_ = 0;
  int upper_ = 100;
  int step_ = 1;
  int position_ = 0;
  bool cancelRequested_ = false;
  bool cancelActive_ = false;
  std::string status_;
  std::string caption_;
  std::string buttonText_;
};

}  // namespace flash
