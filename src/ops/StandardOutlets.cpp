#include "ops/StandardOutlets.h"

#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "link/SerialLink.h"

namespace flash {
namespace {

class ResultFileAndLink final : public ReportOutlets {
 public:
  void WriteResult(Session& s, MessageId id, const std::string& text) const override {
    WriteResultFile(s, id, text);
  }
  void ClosePort(Session& s) const override { s.link.ClosePort(); }
};

}  // namespace

const ReportOutlets& StandardOutlets() {
  // Holds no state, so one serves every session of every thread.
  static const ResultFileAndLink outlets;
  return outlets;
}

}  // namespace flash
