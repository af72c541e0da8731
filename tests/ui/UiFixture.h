#pragma once
// The real window over a session in a directory of its own: the Qt front end,
// the main window, a fake clock and a link whose ports never open (tests that
// talk to a board bring the simulated one).
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "base/Clock.h"
#include "base/ProgressDialog.h"
#include "base/Session.h"
#include "link/SerialLink.h"
#include "ops/StandardOutlets.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"
#include "support/TestSession.h"
#include "ui/ControlIds.h"
#include "ui/MainWindow.h"
#include "ui/ProgressWindowQt.h"
#include "ui/QtFrontEnd.h"

namespace flash::test {

// Two devices: the demo chip (Erase only after a download) and a TR7C0440
// (Erase before any download).
inline constexpr const char* kUiCatalogue =
    "[demo_chip]\r\n"
    "DownloadFile=demo.bin\r\n"
    "LoadAddress=0x1000\r\n"
    "StartAddress=00000000,00100000\r\n"
    "EndAddress=000FFFFF,00100FFF\r\n"
    "FlashSize=1028\r\n"
    "Clock=4MHz,8MHz\r\n"
    "Baud=9600,19200\r\n"
    "[TR7C0440]\r\n"
    "DownloadFile=tr.bin\r\n"
    "LoadAddress=0x2000\r\n"
    "StartAddress=00000000,00040000,00080000,000C0000,00100000\r\n"
    "EndAddress=0003FFFF,0007FFFF,000BFFFF,000FFFFF,00100FFF\r\n"
    "FlashSize=1028\r\n"
    "Clock=10MHz\r\n"
    "Baud=38400\r\n";

struct UiFixture {
  explicit UiFixture(std::vector<std::string> args = {}, PortFactory* factory = nullptr)
      : link(factory ? *factory : static_cast<PortFactory&>(noPorts)),
        session(ui, clock, link, CommandLine(std::move(args)), StandardOutlets(), &ui) {
    dir.Write("CHIPDEF.INI", kUiCatalogue);
  }
  ~UiFixture() {
    session.state.progressDialog.reset();
    window.reset();
  }

  // Builds the window with these actions, runs the start-up and shows it.
  StartupStatus Start(ui::WindowActions actions = {}) {
    window = std::make_unique<ui::MainWindow>(session, ui, std::move(actions));
    ui.SetMainWindow(window.get());
    StartupStatus status = StartUp(session, dir.Path());
    window->show();
    QApplication::processEvents();
    return status;
  }

  QWidget* Control(int id) const { return ui::FindControl(window.get(), id); }
  bool Enabled(int id) const { return Control(id) && Control(id)->isEnabled(); }
  QString TextOf(int id) const;

  TempDir dir;
  ui::QtFrontEnd ui;
  FakeClock clock;
  NoPortFactory noPorts;
  SerialLink link;
  Session session;
  std::unique_ptr<ui::MainWindow> window;
};

// Answers whatever waits for the user while a test drives the window: presses
// "Ok" in the progress window and closes message boxes and dialogs, noting
// what each showed. Runs inside every event pump and nested loop.
class Answerer : public QObject {
 public:
  explicit Answerer(ui::QtFrontEnd& ui) : ui_(ui) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    timer_.start();
  }
  // What to do with the next modal window (file dialog, sheet, box); default:
  // a box is acknowledged, anything else rejected.
  std::function<void(QWidget*)> onModal;
  std::vector<QString> progressTexts;  // status text at each "Ok" press
  std::vector<QString> boxTexts;
  std::vector<QString> modalClasses;

 private:
  void Tick();
  ui::QtFrontEnd& ui_;
  QTimer timer_;
};

}  // namespace flash::test
