// flash: the flash programmer with its window. Without a display it runs the
// same start-up and the unattended Full Operation with no window at all.
#include <QApplication>

#include "app/CommandLine.h"
#include "app/FlashProgram.h"
#include "ui/FlashWindowApp.h"

int main(int argc, char** argv) {
  const flash::CommandLine args = flash::CommandLine::FromMain(argc, argv);
  if (!flash::HasDisplay()) return flash::RunFlashHeadless(args);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("flash"));
  return flash::ui::RunFlashWindow(args);
}
