#include "ui/FlashWindowApp.h"

#include <QApplication>
#include <QDir>

#include "app/Clock.h"
#include "app/FileUtil.h"
#include "app/FlashProgram.h"
#include "app/ProgressDialog.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "link/SerialLink.h"
#include "link/SystemPort.h"
#include "ui/EngineActions.h"
#include "ui/MainWindow.h"
#include "ui/QtFrontEnd.h"

namespace flash::ui {

int RunFlashWindow(const CommandLine& args) {
  QtFrontEnd ui;
  SystemClock clock;
  const std::string dir = ExecutableDirectory();
  auto ports = MakeSystemPortFactory(dir, clock);
  SerialLink link(*ports);
  Session session(ui, clock, link, args);
  WindowActions actions = EngineActions();
  MainWindow window(session, ui, actions);
  ui.SetMainWindow(&window);

  if (StartUp(session, dir) != StartupStatus::Ok) return kExitStartupFailure;
  // Every file of the program lies beside it; relative names mean that directory.
  QDir::setCurrent(QString::fromStdString(dir));
  window.show();

  int status = 0;
  if (args.BatchMode()) {
    actions.fullOperation(session);
    session.state.progressDialog.reset();
    status = BatchExitStatus(session.state.lastReportId);
  } else {
    QObject::connect(&window, &QDialog::finished, qApp, &QCoreApplication::quit);
    QApplication::exec();
  }
  window.hide();
  link.ClosePort();
  return status;
}

}  // namespace flash::ui
