// flash: the flash programmer with its window. Without a display it runs the
// same start-up and the unattended Full Operation with no window at all.
#include <QApplication>
#include <string>

#include "base/CommandLine.h"
#include "frontend/Arguments.h"
#include "frontend/HeadlessRun.h"
#include "ui/DisplayProbe.h"
#include "ui/FlashWindowApp.h"

int main(int argc, char** argv) {
  const flash::Utf8Console console;
  const flash::CommandLine args(flash::ProgramArguments(argc, argv));
  std::string why;
  // Without a window the same start-up runs, then the unattended run or one
  // line on why nothing can be shown.
  if (!flash::ui::DisplayReachable(&why)) return flash::RunFlashHeadless(args, why);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("flash"));
  return flash::ui::RunFlashWindow(args);
}
