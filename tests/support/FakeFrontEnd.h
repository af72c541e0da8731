#pragma once
// A front end with a main window for tests: records every box, progress call
// and window update, and answers boxes from a script.
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/FrontEnd.h"

namespace flash::test {

// What a fake progress window was asked to do, as text lines such as
// "caption:0 / 3" or "status: Erasing", for tests that check the sequence.
struct ProgressRecord {
  std::vector<std::string> calls;
  std::string caption;
  std::string status;
  std::string buttonText;
  bool buttonEnabled = false;
  bool barEnabled = false;
  int lower = 0;
  int upper = 100;
  int position = 0;
  ProgressHeight height = ProgressHeight::Full;
  std::optional<StandardIcon> icon;
  int pumps = 0;
  bool destroyed = false;
};

class FakeFrontEnd : public FrontEnd, public WindowSync {
 public:
  BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  std::unique_ptr<ProgressWindow> CreateProgressWindow(std::function<void()> onButton) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  void PlayWaveFile(const std::string& path) override { sounds.push_back("play:" + path); }
  void StopSound() override { sounds.push_back("stop"); }
  void Beep() override { sounds.push_back("beep"); }
  void ControlsToState(SessionState&) override { ++controlsToState; }
  void StateToControls(const SessionState&) override { ++stateToControls; }
  void FocusTargetList() override { ++focusTargetList; }
  void RepaintNow() override { ++repaints; }
  void SetHexFileTooltip(const std::string& path) override { hexTooltip = path; }
  void SetCommandGroupCaption(const std::string& caption) override { groupCaption = caption; }
  void LogLine(const std::string& line) override { logLines.push_back(line); }

  // Every box shown, in order.
  std::vector<MessageBoxRequest> boxes;
  // Answers for the next boxes; the default answer when the queue is empty.
  std::deque<BoxAnswer> answers;
  std::vector<FileDialogRequest> fileDialogs;
  std::optional<std::string> openAnswer;
  std::optional<std::string> saveAnswer;
  std::vector<std::string> sounds;
  std::vector<std::string> logLines;
  std::string hexTooltip;
  std::string groupCaption;
  int controlsToState = 0;
  int stateToControls = 0;
  int focusTargetList = 0;
  int repaints = 0;

  // Progress windows created, oldest first (they outlive their windows).
  std::vector<std::shared_ptr<ProgressRecord>> progress;
  // When set, window creation fails.
  bool failProgressWindow = false;
  // Button presses the next progress windows perform on their n-th pump
  // (counted from 1 per window), for cancel tests. An "Ok" button is always
  // pressed at the first pump where it waits, unless autoAcknowledge is false.
  std::vector<int> pressOnPump;
  bool autoAcknowledge = true;

  // Texts of all boxes, for quick assertions.
  std::vector<std::string> BoxTexts() const;
};

}  // namespace flash::test
