// The window's commands against the simulated board, in fake time: the
// buttons run the same engines as flashcli, and what the user sees follows.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "UiFixture.h"
#include "app/Catalogue.h"
#include "app/Profile.h"
#include "sim/Board.h"
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
  BoardWindow() : f({}, &ports) {
    ports.Bind(f.clock);
    f.dir.Write("CHIPDEF.INI", kOpsCatalogue);
    f.Start(ui::EngineActions());
    DeviceDefinition def = SelectedDevice(f.session);
    std::vector<uint8_t> program = sim::MakeControlProgram(def.name, "");
    f.dir.Write(def.downloadFile, std::string(program.begin(), program.end()));
    std::string problem;
    board = std::make_unique<sim::Board>(*sim::ConfigFromDefinition(def, 0, &problem));
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

QTEST_MAIN(BoardWindowTest)
#include "BoardWindowTest.moc"
