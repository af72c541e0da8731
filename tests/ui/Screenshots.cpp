// Pictures of the real windows for the user guide, taken under a real X
// server (Xvfb): the main window, the progress window of each command (Program
// & Verify also while it runs), the customize sheet, Check SUM and About.
// The commands run against the simulated board in fake time.
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "UiFixture.h"
#include "base/Catalogue.h"
#include "sim/Board.h"
#include "sim/ChipDefinition.h"
#include "sim/ControlProgram.h"
#include "support/BoardRig.h"
#include "support/FakePort.h"
#include "ui/AboutBox.h"
#include "ui/CheckSumDialog.h"
#include "ui/CustomizeSheet.h"
#include "ui/EngineActions.h"

using namespace flash;
using namespace flash::test;
namespace uid = flash::ui::id;

namespace {

QString g_outDir;

bool Save(QWidget* w, const QString& name) {
  QApplication::processEvents();
  const QString path = g_outDir + u'/' + name + QStringLiteral(".png");
  return w->grab().save(path);
}

}  // namespace

class Screenshots : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void windowsOfEveryCommand();
};

void Screenshots::initTestCase() {
  if (g_outDir.isEmpty()) g_outDir = QDir::currentPath() + QStringLiteral("/screenshots");
  QVERIFY(QDir().mkpath(g_outDir));
  if (QGuiApplication::platformName() == QStringLiteral("offscreen"))
    qWarning("taking pictures off screen; run under xvfb-run for the real look");
}

void Screenshots::windowsOfEveryCommand() {
  FakePortFactory ports;
  UiFixture f({}, &ports);
  ports.Bind(f.clock);
  f.dir.Write("CHIPDEF.INI", kOpsCatalogue);
  std::vector<uint8_t> data(0x2000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  f.dir.Write("app.mhx", SRecords(0, data) + "S70500000000FA\n");
  f.dir.Write("DATAFILE.TXT", "[Recent]\r\nWrite File=" + f.dir.File("app.mhx") + "\r\n");
  f.dir.Write("Customize.ini", "[Tool]\r\nToolTips=1\r\n");
  QCOMPARE(f.Start(ui::EngineActions()), StartupStatus::Ok);
  DeviceDefinition def = SelectedDevice(f.session);
  std::vector<uint8_t> program = sim::MakeControlProgram(def.name, "");
  f.dir.Write(def.downloadFile, std::string(program.begin(), program.end()));
  std::string problem;
  sim::Board board(*sim::ConfigFromDefinition(
      sim::ReadChipDefinition(f.session.state.catalogPath, def.name), 0, &problem));
  ports.line->responder = [&board](FakeLine& l, const std::vector<uint8_t>& bytes) {
    board.Receive(bytes.data(), bytes.size(), l.rate, static_cast<int64_t>(l.clock().TickMs()) * 1000);
    while (auto due = board.NextDueUs())
      for (uint8_t b : board.TakeDue(*due, l.rate)) l.SendAt(static_cast<uint32_t>(*due / 1000), b);
  };
  QVERIFY(Save(f.window.get(), QStringLiteral("main-window")));

  // Each command: the progress window at its result, and Program & Verify halfway.
  QString current;
  bool tookRunning = false;
  QStringList saved;
  QTimer watcher;
  watcher.setInterval(0);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    ui::QtProgressWindow* p = f.ui.CurrentProgressWindow();
    if (!p || !p->isVisible()) return;
    auto* bar = qobject_cast<QProgressBar*>(ui::FindControl(p, uid::kProgressBar));
    auto* button = qobject_cast<QPushButton*>(ui::FindControl(p, uid::kProgressButton));
    if (current == "program" && !tookRunning && bar->maximum() > 4 &&
        bar->value() >= bar->maximum() / 2) {
      tookRunning = Save(p, QStringLiteral("progress-program-running"));
      if (tookRunning) saved << "progress-program-running";
    }
    if (button->isEnabled() && button->text() == QStringLiteral("Ok") &&
        !saved.contains("progress-" + current)) {
      if (Save(p, "progress-" + current)) saved << "progress-" + current;
    }
  });
  watcher.start();
  // Started after the watcher, so the watcher sees each result before it is pressed.
  Answerer answerer(f.ui);
  answerer.onModal = [&](QWidget* modal) {
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      dialog->selectFile(QString::fromStdString(f.dir.File("readout.mhx")));
      QMetaObject::invokeMethod(dialog, "accept");
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      if (!saved.contains("box-" + current) && Save(box, "box-" + current)) saved << "box-" + current;
      box->defaultButton() ? box->defaultButton()->click() : box->accept();
    }
  };
  const std::pair<const char*, int> commands[] = {
      {"download", uid::kDownload}, {"erase", uid::kErase},     {"blank-check", uid::kBlankCheck},
      {"program", uid::kProgram},   {"compare", uid::kCompare}, {"copy", uid::kCopy},
      {"full-operation", uid::kFullOperation}};
  for (const auto& [name, button] : commands) {
    current = QString::fromLatin1(name);
    QVERIFY2(f.Enabled(button), name);
    QTest::mouseClick(f.Control(button), Qt::LeftButton);
  }
  for (const char* name : {"progress-download", "progress-erase", "progress-blank-check",
                           "progress-program", "progress-program-running", "progress-compare",
                           "progress-copy", "progress-full-operation"})
    QVERIFY2(saved.contains(QString::fromLatin1(name)), name);
  watcher.stop();
  answerer.onModal = nullptr;

  // The dialogs of the window.
  ui::CCustomPropMain sheet(f.session.state.programDir, f.session.state.settings, f.ui.Sounds(),
                            f.window.get());
  sheet.show();
  const char* pages[] = {"customize-com", "customize-sound", "customize-tooltips"};
  for (int i = 0; i < 3; ++i) {
    sheet.Tabs()->setCurrentIndex(i);
    QVERIFY(Save(&sheet, QString::fromLatin1(pages[i])));
  }
  sheet.reject();
  ui::CheckSumDialog checkSum(
      [&](const std::string& fill) { return ui::EngineActions().checkSum(f.session, fill); },
      f.window.get());
  checkSum.show();
  checkSum.Compute();
  QVERIFY(!qobject_cast<QLineEdit*>(ui::FindControl(&checkSum, uid::kCheckSumResult))
               ->text()
               .isEmpty());
  QVERIFY(Save(&checkSum, QStringLiteral("check-sum")));
  ui::AboutBox about(f.window.get());
  about.show();
  QVERIFY(Save(&about, QStringLiteral("about")));
  QVERIFY(Save(f.window.get(), QStringLiteral("main-window-downloaded")));
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // flash-screenshots [DIR] [Qt Test options]
  QStringList args = app.arguments();
  if (args.size() > 1 && !args[1].startsWith(u'-')) {
    g_outDir = args[1];
    args.removeAt(1);
  }
  Screenshots test;
  return QTest::qExec(&test, args);
}

#include "Screenshots.moc"
