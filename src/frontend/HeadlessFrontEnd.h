#pragma once
// The front end without a window: used when there is no display, and by
// flashcli. Boxes go to standard error as "caption: text" and take their
// default answer, unless questions may be asked on the terminal.
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "base/FrontEnd.h"

namespace flash {

class HeadlessFrontEnd : public FrontEnd {
 public:
  // err: where boxes and notes go. askOnTerminal: ask two-button questions on
  // the terminal when standard input is one.
  explicit HeadlessFrontEnd(std::FILE* err = stderr, bool askOnTerminal = false);

  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  std::unique_ptr<ProgressWindow> CreateProgressWindow(std::function<void()> onButton) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  void PlayWaveFile(const std::string&) override {}
  void StopSound() override {}
  void Beep() override {}
  void LogLine(const std::string& line) override;

  // The file the next save (or open) dialog answers with; none: cancelled.
  void SetSaveFileAnswer(std::optional<std::string> path) { saveAnswer_ = std::move(path); }
  void SetOpenFileAnswer(std::optional<std::string> path) { openAnswer_ = std::move(path); }
  // Show a one-line progress on standard error (only when it is a terminal).
  void SetShowProgress(bool show) { showProgress_ = show; }
  // Leave result texts shown in the progress window unprinted (the caller
  // prints the outcome itself).
  void SetPrintResults(bool print) { printResults_ = print; }

  // What the progress window shows, for a caller that draws it elsewhere;
  // called at every change, from the thread that runs the command.
  struct ProgressView {
    std::string status;
    int lower = 0;
    int upper = 100;
    int position = 0;
  };
  using ProgressObserver = std::function<void(const ProgressView&)>;
  void SetProgressObserver(ProgressObserver observer) { observer_ = std::move(observer); }
  // Where boxes and notes go from now on.
  void SetErrorStream(std::FILE* err) { err_ = err; }

  // The last text a box or the progress window showed (for a summary line).
  const std::string& LastBoxText() const { return lastBoxText_; }

 private:
  std::FILE* err_;
  bool askOnTerminal_;
  bool showProgress_ = true;
  bool printResults_ = true;
  // A question nobody can answer is answered by default; the same one asked
  // again and again (a CRC error that never clears) is then declined.
  std::string lastQuestion_;
  int sameQuestionCount_ = 0;
  std::optional<std::string> saveAnswer_;
  std::optional<std::string> openAnswer_;
  std::string lastBoxText_;
  // A progress line is on the terminal, not yet ended by a line feed.
  bool progressLineOpen_ = false;
  ProgressObserver observer_;
};

}  // namespace flash
