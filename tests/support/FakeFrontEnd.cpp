#include "support/FakeFrontEnd.h"

#include <algorithm>

namespace flash::test {
namespace {

class FakeProgressWindow final : public ProgressWindow {
 public:
  FakeProgressWindow(std::shared_ptr<ProgressRecord> rec, std::function<void()> onButton,
                     std::vector<int> pressOnPump, bool autoAck)
      : rec_(std::move(rec)),
        onButton_(std::move(onButton)),
        pressOnPump_(std::move(pressOnPump)),
        autoAck_(autoAck) {}
  ~FakeProgressWindow() override {
    rec_->destroyed = true;
    rec_->calls.push_back("destroy");
  }
  void SetCaption(const std::string& c) override {
    rec_->caption = c;
    rec_->calls.push_back("caption:" + c);
  }
  void SetStatusText(const std::string& t) override {
    rec_->status = t;
    rec_->calls.push_back("status:" + t);
  }
  void SetButtonText(const std::string& t) override {
    rec_->buttonText = t;
    rec_->calls.push_back("button:" + t);
  }
  void SetButtonEnabled(bool e, bool) override { rec_->buttonEnabled = e; }
  void SetBarEnabled(bool e) override { rec_->barEnabled = e; }
  void SetBar(int lower, int upper, int position) override {
    rec_->lower = lower;
    rec_->upper = upper;
    rec_->position = position;
  }
  void SetHeight(ProgressHeight h) override { rec_->height = h; }
  void CentreOnOwner() override { rec_->calls.push_back("centre"); }
  void ShowOnTop() override {}
  void SetIcon(StandardIcon i) override {
    rec_->icon = i;
    rec_->calls.push_back("icon");
  }
  void PumpMessages() override {
    int n = ++rec_->pumps;
    if (std::find(pressOnPump_.begin(), pressOnPump_.end(), n) != pressOnPump_.end()) {
      onButton_();
      return;
    }
    if (autoAck_ && rec_->buttonEnabled && (rec_->buttonText == "Ok" || rec_->buttonText == "OK")) {
      rec_->calls.push_back("ack");
      onButton_();
    }
  }

 private:
  std::shared_ptr<ProgressRecord> rec_;
  std::function<void()> onButton_;
  std::vector<int> pressOnPump_;
  bool autoAck_;
};

}  // namespace

BoxAnswer FakeFrontEnd::ShowMessageBox(const MessageBoxRequest& request) {
  boxes.push_back(request);
  if (answers.empty()) return DefaultAnswer(request.buttons);
  BoxAnswer a = answers.front();
  answers.pop_front();
  return a;
}

std::unique_ptr<ProgressWindow> FakeFrontEnd::CreateProgressWindow(std::function<void()> onButton) {
  if (failProgressWindow) return nullptr;
  auto rec = std::make_shared<ProgressRecord>();
  progress.push_back(rec);
  return std::make_unique<FakeProgressWindow>(rec, std::move(onButton), pressOnPump,
                                              autoAcknowledge);
}

std::optional<std::string> FakeFrontEnd::ChooseOpenFile(const FileDialogRequest& request) {
  fileDialogs.push_back(request);
  return openAnswer;
}

std::optional<std::string> FakeFrontEnd::ChooseSaveFile(const FileDialogRequest& request) {
  fileDialogs.push_back(request);
  return saveAnswer;
}

std::vector<std::string> FakeFrontEnd::BoxTexts() const {
  std::vector<std::string> texts;
  for (const auto& b : boxes) texts.push_back(b.text);
  return texts;
}

}  // namespace flash::test
