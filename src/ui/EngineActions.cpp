#include "ui/EngineActions.h"

#include "image/Checksum.h"
#include "ops/CommandHandlers.h"

namespace flash::ui {

WindowActions EngineActions() {
  WindowActions a;
  a.download = OnDownload;
  a.erase = OnErase;
  a.blankCheck = OnBlankCheck;
  a.programVerify = OnProgramVerify;
  a.readCompare = OnReadCompare;
  a.copy = OnCopy;
  a.fullOperation = OnFullOperation;
  a.checkSum = [](Session& s, const std::string& fill) { return CheckSumResultText(s, fill); };
  return a;
}

}  // namespace flash::ui
