// The window's commands against the simulated board, in fake time: the
// buttons run the same engines as flashcli, and what the user sees follows.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "UiFixture.h"
#include "app/FlashProgram.h"
#include "base/Catalogue.h"
#include "base/Profile.h"
#include "sim/Board.h"
#include "sim/ChipDefinition.h"
#include "sim/ControlProgram.h"
#include "support/BoardRig.h"
#include "support/FakePort.h"
#include "ui/EngineActions.h"

using namespace flash;
using namespace flash::test;
namespace uid = flash::ui::id;

namespace {

// The window over a board of the catalogue's first device.
struct BoardWindow {
  explicit BoardWindow(std::vector<std::string> args = {}) : f(std::move(args), &ports) {
    ports.Bind(f.clock);
    f.dir.Write("CHIPDEF.INI", kOpsCatalogue);
    f.Start(ui::EngineActions());
    DeviceDefinition def = SelectedDevice(f.session);
    std::vector<uint8_t> program = sim::MakeControlProgram(def.name, "");
    f.dir.Write(def.downloadFile, std::string(program.begin(), program.end()));
    std::string problem;
    board = std::make_unique<sim::Board>(*sim::ConfigFromDefinition(
        sim::ReadChipDefinition(f.session.state.catalogPath, def.name), 0, &problem));
    sim::Board* b = board.get();
    ports.line->responder = [b](FakeLine& l, const std::vector<uint8_t>& bytes) {
      const int64_t nowUs = static_cast<int64_t>(l.clock().TickMs()) * 1000;
      b->Receive(bytes.data(), bytes.size(), l.rate, nowUs);
      while (auto due = b->NextDueUs()) {
        for (uint8_t byte : b->TakeDue(*due, l.rate))
          l.SendAt(static_cast<uint32_t>(*due / 1000), byte);
      }
    };
  }
  void Click(int button) { QTest::mouseClick(f.Control(button), Qt::LeftButton); }

  FakePortFactory ports;
  UiFixture f;
  std::unique_ptr<sim::Board> board;
};

}  // namespace

class BoardWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void downloadThenProgramAndVerify();
  void portThatDoesNotOpenReturnsToNotDownloaded();
  void closeDuringACommandStopsItThenCloses();
  void closeDuringAnUnattendedRunStopsIt();
};

void BoardWindowTest::downloadThenProgramAndVerify() {
  BoardWindow w;
  Answerer answerer(w.f.ui);
  QCOMPARE(w.f.TextOf(uid::kDownload), QStringLiteral("&Download"));
  w.Click(uid::kDownload);
  QVERIFY(!answerer.progressTexts.empty());
  QCOMPARE(answerer.progressTexts.back(),
           QStringLiteral("It transferred a control program to the microcomputer"));
  for (int b : {uid::kErase, uid::kBlankCheck, uid::kProgram, uid::kCompare, uid::kCopy})
    QVERIFY2(w.f.Enabled(b), qPrintable(QString::number(b)));
  QVERIFY(w.f.window->isEnabled());  // the progress window is gone again
  QCOMPARE(w.f.ui.CurrentProgressWindow(), nullptr);

  w.f.dir.Write("app.mhx", SRecords(0x100, {1, 2, 3, 4, 5, 6, 7, 8}) + "S70500000000FA\n");
  w.f.session.state.hexFilePath = w.f.dir.File("app.mhx");
  w.f.session.state.hexFileName = "app.mhx";
  w.Click(uid::kProgram);
  QCOMPARE(answerer.progressTexts.back(), QStringLiteral("The Programming ended normally"));
  w.Click(uid::kCompare);
  QCOMPARE(answerer.progressTexts.back(),
           QStringLiteral("The flash and the hex file are identical"));
  QVERIFY(answerer.boxTexts.size() <= 1);  // at most the reset prompt of the download
  QVERIFY(w.f.dir.Exists("MESSFILE.TXT"));
}

void BoardWindowTest::portThatDoesNotOpenReturnsToNotDownloaded() {
  UiFixture f;  // its ports never open
  QCOMPARE(f.Start(ui::EngineActions()), StartupStatus::Ok);
  EnableFlashCommands(f.session);
  Answerer answerer(f.ui);
  QTest::mouseClick(f.Control(uid::kErase), Qt::LeftButton);
  QCOMPARE(answerer.progressTexts.size(), std::size_t(2));
  QVERIFY(answerer.progressTexts[0].contains(QStringLiteral("No.006 Unable to open COM port.")));
  QCOMPARE(answerer.progressTexts[1], QStringLiteral("Please redo from download operation"));
  QVERIFY(!f.Enabled(uid::kErase));
  QVERIFY(f.window->isEnabled());
  QCOMPARE(f.window->focusWidget(), f.Control(uid::kTargetList));
}

namespace {

// An image of many blocks, so that a close comes while they go out.
void UseLongImage(BoardWindow& w) {
  w.f.dir.Write("app.mhx", SRecords(0, std::vector<uint8_t>(0x1800, 0x5A)));
  w.f.session.state.hexFilePath = w.f.dir.File("app.mhx");
  w.f.session.state.hexFileName = "app.mhx";
}

}  // namespace

void BoardWindowTest::closeDuringACommandStopsItThenCloses() {
  BoardWindow w;
  Answerer answerer(w.f.ui);
  w.Click(uid::kDownload);
  QVERIFY(w.f.Enabled(uid::kProgram));
  UseLongImage(w);
  const std::size_t shownBefore = answerer.progressTexts.size();
  // The close arrives while the engine pumps the progress dialog's events.
  bool closedWhileRunning = false;
  bool dialogWhileClosing = false;
  QTimer::singleShot(0, w.f.window.get(), [&] {
    closedWhileRunning = w.f.window->Busy();
    w.f.window->close();
    dialogWhileClosing = w.f.session.state.progressDialog != nullptr;
  });
  w.Click(uid::kProgram);
  QVERIFY(closedWhileRunning);
  QVERIFY(dialogWhileClosing);  // the engine's dialog outlived the close request
  QVERIFY(!w.f.window->isVisible());
  QVERIFY(w.f.session.state.progressDialog == nullptr);
  QCOMPARE(w.f.ui.CurrentProgressWindow(), nullptr);
  QVERIFY(!w.f.link.IsOpen());
  QCOMPARE(StopReason(w.f.session), kStopWindowClosed);
  QVERIFY(w.board->Stats().blocksProgrammed < 12);
  // Stopped, not reported: nothing waited for an "Ok" nobody could press.
  QCOMPARE(answerer.progressTexts.size(), shownBefore);
}

void BoardWindowTest::closeDuringAnUnattendedRunStopsIt() {
  BoardWindow w({"app.mhx", "no_reset"});
  UseLongImage(w);
  w.f.session.state.unattendedResult = true;
  Answerer answerer(w.f.ui);
  // Closed as soon as the programming shows.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, w.f.window.get(), [&] {
    if (w.board->Stats().blocksProgrammed > 0) w.f.window->close();
  });
  poll.start(0);
  w.f.window->RunFlashCommand(ui::EngineActions().fullOperation);
  QVERIFY(w.board->Stats().blocksProgrammed > 0);
  QVERIFY(w.board->Stats().blocksProgrammed < 12);
  QVERIFY(!w.f.window->isVisible());
  QVERIFY(w.f.session.state.progressDialog == nullptr);
  QCOMPARE(w.f.dir.Read("MESSFILE.TXT"), std::string("NG\r\nStopped: the window was closed"));
  QCOMPARE(BatchExitStatus(w.f.session), 1);
}

QTEST_MAIN(BoardWindowTest)
#include "BoardWindowTest.moc"
