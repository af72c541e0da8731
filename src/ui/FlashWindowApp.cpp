#include "ui/FlashWindowApp.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "app/FlashProgram.h"
#include "app/Startup.h"
#include "base/Clock.h"
#include "base/FileUtil.h"
#include "base/ProgressDialog.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "frontend/HeadlessRun.h"
#include "frontend/StopSignals.h"
#include "link/SerialLink.h"
#include "link/SystemPort.h"
#include "ops/StandardOutlets.h"
#include "ui/EngineActions.h"
#include "ui/MainWindow.h"
#include "ui/QtFrontEnd.h"

namespace flash::ui {

namespace {
constexpr int kSignalWatchMs = 100;  // how often the window looks for a stop signal
}  // namespace

int RunFlashWindow(const CommandLine& args) {
  QtFrontEnd ui;
  SystemClock clock;
  const std::string dir = ExecutableDirectory();
  auto ports = MakeSystemPortFactory(StationDirectory(dir), clock);
  SerialLink link(*ports);
  Session session(ui, clock, link, args, StandardOutlets(), &ui);
  WindowActions actions = EngineActions();
  MainWindow window(session, ui, actions);
  ui.SetMainWindow(&window);

  if (StartUp(session, dir) != StartupStatus::Ok) return kExitStartupFailure;
  // Every file of the program lies beside it; relative names mean that directory.
  QDir::setCurrent(QString::fromStdString(dir));
  if (args.BatchMode()) PrepareUnattendedRun(session);
  else session.stopRequest = &InstallStopSignals();
  window.UseStopRequest(*session.stopRequest);
  window.show();

  // A signal closes the window as its close button does: a running command
  // stops at its next look at the link, then the window goes.
  QTimer signalWatch;
  QObject::connect(&signalWatch, &QTimer::timeout, &window, [&] {
    const int reason = StopReason(session);
    if (reason != 0 && reason != kStopWindowClosed) window.close();
  });
  signalWatch.start(kSignalWatchMs);

  int status = 0;
  if (args.BatchMode()) {
    UnattendedRecord record;
    if (record.Begin(session)) {
      window.RunFlashCommand(actions.fullOperation);
      status = record.End(session, BatchExitStatus(session));
    } else {
      status = 1;
    }
  } else {
    QObject::connect(&window, &QDialog::finished, qApp, &QCoreApplication::quit);
    QApplication::exec();
    if (int reason = StopReason(session); reason != 0 && reason != kStopWindowClosed)
      status = SignalExitStatus(reason);
  }
  if (int reason = StopReason(session); reason != 0 && reason != kStopWindowClosed)
    ui.LogLine("flash: " + StopText(reason) + ": the window was closed and the port released");
  window.hide();
  link.ClosePort();
  return status;
}

}  // namespace flash::ui
