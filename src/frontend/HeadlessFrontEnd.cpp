#include "frontend/HeadlessFrontEnd.h"

#include <iostream>

#include "base/FileUtil.h"

namespace flash {

namespace {

constexpr int kMaxDefaultRepeats = 3;  // then a repeated Yes/No question is declined

// A progress window nobody sees; on a terminal it keeps one line of progress.
// Nobody can press its button either: a result waiting for "Ok" is printed
// and acknowledged at once, while a "Cancel" button is never pressed.
// A status as a dialog control shows it: "&&" is one "&".
std::string ControlText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') ++i;
  }
  return out;
}

class QuietProgressWindow final : public ProgressWindow {
 public:
  QuietProgressWindow(std::FILE* err, bool show, bool printResults, bool& lineOpen,
                      const HeadlessFrontEnd::ProgressObserver& observer,
                      std::function<void()> onButton)
      : err_(err),
        show_(show),
        printResults_(printResults),
        drawn_(lineOpen),
        observer_(observer),
        onButton_(std::move(onButton)) {}
  ~QuietProgressWindow() override { ClearLine(); }
  void SetCaption(const std::string&) override { Draw(); }
  void SetStatusText(const std::string& text) override {
    status_ = ControlText(text);
    printed_ = false;
    Draw();
  }
  void SetButtonText(const std::string& text) override { buttonText_ = text; }
  void SetButtonEnabled(bool enabled, bool) override { buttonEnabled_ = enabled; }
  void SetBarEnabled(bool) override {}
  void SetBar(int lower, int upper, int position) override {
    lower_ = lower;
    upper_ = upper;
    position_ = position;
    Draw();
  }
  void SetHeight(ProgressHeight) override {}
  void CentreOnOwner() override {}
  void ShowOnTop() override {}
  void SetIcon(StandardIcon) override {}
  void PumpMessages() override {
    if (!buttonEnabled_ || (buttonText_ != "Ok" && buttonText_ != "OK")) return;
    if (!printed_ && printResults_) {
      ClearLine();
      std::fprintf(err_, "%s\n", status_.c_str());
      std::fflush(err_);
      printed_ = true;
    }
    onButton_();
  }

 private:
  void ClearLine() {
    if (drawn_) std::fputs("\r\033[K", err_);
    drawn_ = false;
  }
  void Draw() {
    if (observer_) observer_({status_, lower_, upper_, position_});
    if (!show_) return;
    std::string first = status_.substr(0, status_.find_first_of("\r\n"));
    int span = upper_ - lower_;
    int percent = span > 0 ? (position_ - lower_) * 100 / span : 0;
    std::fprintf(err_, "\r\033[K%s  %d / %d (%d%%)", first.c_str(), position_, upper_, percent);
    std::fflush(err_);
    drawn_ = true;
  }

  std::FILE* err_;
  bool show_;
  bool printResults_;
  bool& drawn_;  // shared with the front end: a question must not be glued to it
  const HeadlessFrontEnd::ProgressObserver& observer_;
  std::function<void()> onButton_;
  bool printed_ = false;
  std::string status_;
  std::string buttonText_;
  bool buttonEnabled_ = false;
  int lower_ = 0;
  int upper_ = 100;
  int position_ = 0;
};

}  // namespace

HeadlessFrontEnd::HeadlessFrontEnd(std::FILE* err, bool askOnTerminal)
    : err_(err), askOnTerminal_(askOnTerminal) {}

BoxAnswer HeadlessFrontEnd::ShowMessageBox(const MessageBoxRequest& request) {
  lastBoxText_ = request.text;
  // The progress line stays as it was; the box starts on a line of its own.
  if (progressLineOpen_) std::fputc('\n', err_);
  progressLineOpen_ = false;
  std::fprintf(err_, "%s: %s\n", request.caption.c_str(), request.text.c_str());
  std::fflush(err_);
  if (request.buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  if (!askOnTerminal_ || !IsTerminal(0)) {
    sameQuestionCount_ = request.text == lastQuestion_ ? sameQuestionCount_ + 1 : 1;
    lastQuestion_ = request.text;
    if (request.buttons == BoxButtons::YesNo && sameQuestionCount_ > kMaxDefaultRepeats)
      return BoxAnswer::No;
    return DefaultAnswer(request.buttons);
  }
  const bool yesNo = request.buttons == BoxButtons::YesNo;
  for (;;) {
    std::fputs(yesNo ? "[Y/n] " : "[OK/cancel] ", err_);
    std::fflush(err_);
    std::string line;
    if (!std::getline(std::cin, line)) return yesNo ? BoxAnswer::No : BoxAnswer::Cancel;
    for (auto& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (line.empty()) return DefaultAnswer(request.buttons);
    if (yesNo && (line == "y" || line == "yes")) return BoxAnswer::Yes;
    if (yesNo && (line == "n" || line == "no")) return BoxAnswer::No;
    if (!yesNo && (line == "ok" || line == "o")) return BoxAnswer::Ok;
    if (!yesNo && (line == "cancel" || line == "c")) return BoxAnswer::Cancel;
  }
}

std::unique_ptr<ProgressWindow> HeadlessFrontEnd::CreateProgressWindow(
    std::function<void()> onButton) {
  return std::make_unique<QuietProgressWindow>(err_, showProgress_ && IsTerminal(err_),
                                               printResults_, progressLineOpen_, observer_,
                                               std::move(onButton));
}

std::optional<std::string> HeadlessFrontEnd::ChooseOpenFile(const FileDialogRequest&) {
  return openAnswer_;
}

std::optional<std::string> HeadlessFrontEnd::ChooseSaveFile(const FileDialogRequest&) {
  return saveAnswer_;
}

void HeadlessFrontEnd::LogLine(const std::string& line) {
  if (progressLineOpen_) std::fputc('\n', err_);
  progressLineOpen_ = false;
  std::fprintf(err_, "%s\n", line.c_str());
  std::fflush(err_);
}

}  // namespace flash
