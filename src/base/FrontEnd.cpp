#include "base/FrontEnd.h"

namespace flash {

BoxAnswer DefaultAnswer(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::OkCancel: return BoxAnswer::Ok;
    case BoxButtons::YesNo: return BoxAnswer::Yes;
    default: return BoxAnswer::Ok;
  }
}

namespace {

class NoWindowSync final : public WindowSync {
 public:
  void ControlsToState(SessionState&) override {}
  void StateToControls(const SessionState&) override {}
  void FocusTargetList() override {}
  void RepaintNow() override {}
  void SetHexFileTooltip(const std::string&) override {}
  void SetCommandGroupCaption(const std::string&) override {}
};

}  // namespace

WindowSync& NoWindow() {
  // Holds no state, so one serves every session of every thread.
  static NoWindowSync none;
  return none;
}

}  // namespace flash
