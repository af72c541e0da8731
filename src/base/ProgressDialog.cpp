#include "base/ProgressDialog.h"

namespace flash {

ProgressDialog::ProgressDialog(int style) : style_(style == -1 ? kLayoutDefault : style) {}

ProgressDialog::~ProgressDialog() = default;

bool ProgressDialog::Open(FrontEnd& ui) {
  window_ = ui.CreateProgressWindow([this] { PressButton(); });
  if (!window_) return false;
  window_->SetBar(lower_, upper_, lower_);
  position_ = lower_;
  SetLayout(style_, true, std::nullopt);
  return true;
}

void ProgressDialog::SetLayout(int style, bool centre, const std::optional<std::string>& caption) {
  if (style == -1) style = kLayoutDefault;
  style_ = style;
  if (caption) SetCaption(*caption);
  if (style & kLayoutOk) buttonText_ = "Ok";
  else if (style & kLayoutCancel) buttonText_ = "Cancel";
  else buttonText_.clear();
  cancelActive_ = (style & kLayoutActive) != 0;
  if (!window_) return;
  window_->SetButtonText(buttonText_);
  window_->SetButtonEnabled(cancelActive_, cancelActive_);
  window_->SetBarEnabled((style & kLayoutBar) != 0);
  window_->SetHeight(style == kLayoutStatusOnly ? ProgressHeight::ToBar
                     : style == kLayoutBarOnly  ? ProgressHeight::ToButton
                                                : ProgressHeight::Full);
  if (centre) window_->CentreOnOwner();
  window_->ShowOnTop();
}

void ProgressDialog::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (window_) window_->SetCaption(caption);
}

void ProgressDialog::ShowStatus(const std::string& text) {
  status_ = text;
  if (window_) window_->SetStatusText(text);
}

void ProgressDialog::SetBar(int lower, int upper, int step, int position) {
  lower_ = lower;
  upper_ = upper;
  step_ = step;
  SetPosition(position);
}

void ProgressDialog::ShowPosition(int position) {
  position_ = position;
  SetCaption(std::to_string(position) + " / " + std::to_string(upper_));
  if (window_) window_->SetBar(lower_, upper_, position);
}

void ProgressDialog::SetPosition(int position) {
  if (window_) window_->PumpMessages();
  ShowPosition(position);
}

void ProgressDialog::StepBar() {
  if (window_) window_->PumpMessages();
  int next = position_ + step_;
  if (next > upper_) next = upper_;  // a bar stops at its end
  SetCaption(std::to_string(position_ + 1) + " / " + std::to_string(upper_));
  position_ = next;
  if (window_) window_->SetBar(lower_, upper_, next);
}

bool ProgressDialog::CheckCancel() {
  if (!cancelActive_) return false;
  if (window_) window_->PumpMessages();
  bool pressed = cancelRequested_;
  cancelRequested_ = false;
  return pressed;
}

void ProgressDialog::SetIcon(StandardIcon icon) {
  if (window_) window_->SetIcon(icon);
}

void ProgressDialog::SetButtonText(const std::string& text) {
  buttonText_ = text;
  if (window_) window_->SetButtonText(text);
}

}  // namespace flash
