// The main window over a real start-up: lists, region texts, command-button
// states, the keyboard rule, the Copy toggle, drop, Enter and Escape, the COM
// commands, the tooltip rule and captions that fit at every font size.
#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QToolTip>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

#include "UiFixture.h"
#include "app/WindowCommands.h"
#include "base/CommandButtons.h"
#include "base/Profile.h"
#include "base/Report.h"
#include "base/Settings.h"
#include "ui/AboutBox.h"
#include "ui/CheckSumDialog.h"
#include "ui/EngineActions.h"
#include "ui/Help.h"

using namespace flash;
using namespace flash::test;
namespace uid = flash::ui::id;

namespace {

// Notes which flash commands the window ran.
struct CommandLog {
  std::vector<std::string> ran;
  ui::WindowActions Actions() {
    ui::WindowActions a;
    auto note = [this](const char* name) {
      return [this, name](Session&) { ran.push_back(name); };
    };
    a.download = note("download");
    a.erase = note("erase");
    a.blankCheck = note("blank");
    a.programVerify = note("program");
    a.readCompare = note("compare");
    a.copy = note("copy");
    a.fullOperation = note("full");
    a.checkSum = [this](Session&, const std::string& fill) {
      ran.push_back("checksum " + fill);
      return std::string("1234");
    };
    return a;
  }
};

const int kFlashButtons[] = {uid::kDownload, uid::kFullOperation, uid::kErase, uid::kBlankCheck,
                             uid::kProgram, uid::kCompare, uid::kCopy};

QString EnabledButtons(UiFixture& f) {
  QStringList on;
  for (int b : kFlashButtons)
    if (f.Enabled(b)) on << QString::number(b);
  return on.join(u',');
}

void DropUrls(QWidget* target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void startUpFillsListsAndRegions();
  void buttonStates_data();
  void buttonStates();
  void plainLetterActsAsMnemonic();
  void openLetterShowsFileDialogFromTheList();
  void rightClickTogglesCopyEvenWhenDisabled();
  void dropUsesFirstFileAndIgnoresFolders();
  void enterAndEscapeLeaveTheWindowOpen();
  void comCommandsStorePortAndResetButtons();
  void crystalChangeSavesAndResetsButtons();
  void tooltipsOnlyWhenSwitchedOn();
  void captionsFitAtEveryFontSize_data();
  void captionsFitAtEveryFontSize();
  void checkSumDialogShowsTheSum();
  void checkSumOfWhatIsNoFileDoesNotFreeze();
  void aboutBoxAndHelpFiles();
  void fileDialogFilterList();
};

void MainWindowTest::startUpFillsListsAndRegions() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  auto* target = qobject_cast<QComboBox*>(f.Control(uid::kTargetList));
  auto* crystal = qobject_cast<QComboBox*>(f.Control(uid::kCrystalList));
  QCOMPARE(target->count(), 2);
  QCOMPARE(target->itemText(0), QStringLiteral("DEMO_CHIP"));
  QCOMPARE(target->itemText(1), QStringLiteral("TR7C0440"));
  QCOMPARE(target->currentIndex(), 0);
  QCOMPARE(crystal->count(), 2);
  QCOMPARE(crystal->itemText(1), QStringLiteral("8MHz"));
  const char* regions[] = {"00000000H", "000FFFFFH", "00100000H", "00100000H", "00100FFFH",
                           "00001000H", "", "", "", "", "", ""};
  for (int i = 0; i < 12; ++i) QCOMPARE(f.TextOf(uid::kRegionFirst + i), QString(regions[i]));
  QCOMPARE(f.TextOf(uid::kCommandGroup), QStringLiteral("Command  to  COM1"));
  QVERIFY(f.TextOf(uid::kVersion).startsWith(u'V'));
  QCOMPARE(f.TextOf(uid::kHexFile), QString());
  // Choosing the five-region part shows its first four regions.
  target->setCurrentIndex(1);
  emit target->activated(1);
  QCOMPARE(f.TextOf(uid::kRegionFirst + 9), QStringLiteral("000C0000H"));
  QCOMPARE(crystal->count(), 1);
  QCOMPARE(profile::GetInt(f.dir.File("DATAFILE.TXT"), "Recent", "CPU", -1), 1);
}

void MainWindowTest::buttonStates_data() {
  QTest::addColumn<QString>("scenario");
  QTest::addColumn<QString>("enabled");
  QTest::newRow("after start-up") << "start" << "1042,1041";
  QTest::newRow("after download") << "download" << "1042,1041,1035,1040,1036,1037,1038";
  QTest::newRow("after a kind 2 report") << "report2" << "1042,1041";
  QTest::newRow("after a kind 1 report") << "report1" << "1042,1041,1035,1040,1036,1037,1038";
  QTest::newRow("TR7C0440 selected") << "tr7c0440" << "1042,1041,1035";
}

void MainWindowTest::buttonStates() {
  QFETCH(QString, scenario);
  QFETCH(QString, enabled);
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  Answerer answerer(f.ui);
  if (scenario != "start" && scenario != "tr7c0440") EnableFlashCommands(f.session);
  if (scenario == "report2") ReportResult(f.session, 206, KindError, SoundError);
  if (scenario == "report1") ReportResult(f.session, 401, KindWarning, SoundError);
  if (scenario == "tr7c0440") {
    auto* target = qobject_cast<QComboBox*>(f.Control(uid::kTargetList));
    target->setCurrentIndex(1);
    emit target->activated(1);
  }
  QCOMPARE(EnabledButtons(f), enabled);
  for (int always : {uid::kTargetList, uid::kCrystalList, uid::kOpen, uid::kSetEnvironment, uid::kHelp,
                     uid::kCheckSum})
    QVERIFY(f.Enabled(always));
  if (scenario == "report2") {
    QCOMPARE(answerer.boxTexts.size(), std::size_t(2));
    QCOMPARE(answerer.boxTexts[1], QStringLiteral("Please redo from download operation"));
  }
}

void MainWindowTest::plainLetterActsAsMnemonic() {
  UiFixture f;
  CommandLog log;
  QCOMPARE(f.Start(log.Actions()), StartupStatus::Ok);
  QWidget* list = f.Control(uid::kTargetList);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_E);  // Erase is disabled
  QVERIFY(log.ran.empty());
  QTest::keyClick(list, Qt::Key_D);
  QTest::keyClick(f.Control(uid::kHexFile), Qt::Key_F);
  QCOMPARE(log.ran, (std::vector<std::string>{"download", "full"}));
  EnableFlashCommands(f.session);
  QTest::keyClick(list, Qt::Key_E);
  QTest::keyClick(list, Qt::Key_P, Qt::ShiftModifier);
  QTest::keyClick(list, Qt::Key_R);
  QCOMPARE(log.ran, (std::vector<std::string>{"download", "full", "erase", "program", "compare"}));
  // Y moves to the crystal list; the letter never reaches the list as a search key.
  QTest::keyClick(list, Qt::Key_Y);
  QCOMPARE(QApplication::focusWidget(), f.Control(uid::kCrystalList));
  QCOMPARE(qobject_cast<QComboBox*>(list)->currentIndex(), 0);
}

void MainWindowTest::openLetterShowsFileDialogFromTheList() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  const std::string hexDir = f.dir.Path() + "hex";
  QDir().mkpath(QString::fromStdString(hexDir));
  f.dir.Write("hex/app.mhx", "S9030000FC\r\n");
  f.session.state.hexFilePath = hexDir + "/app.mhx";
  Answerer answerer(f.ui);
  QString openedIn;
  answerer.onModal = [&](QWidget* modal) {
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      openedIn = dialog->directory().absolutePath();
      dialog->reject();
    }
  };
  QWidget* list = f.Control(uid::kTargetList);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_O);
  QCOMPARE(answerer.modalClasses.size(), std::size_t(1));
  QCOMPARE(answerer.modalClasses[0], QStringLiteral("QFileDialog"));
  QCOMPARE(openedIn, QDir(QString::fromStdString(hexDir)).absolutePath());
  // Cancelled: the file stays, and the recent choices are written again.
  QCOMPARE(profile::GetString(f.dir.File("DATAFILE.TXT"), "Recent", "Write File", ""),
           hexDir + "/app.mhx");
}

void MainWindowTest::rightClickTogglesCopyEvenWhenDisabled() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  QWidget* copy = f.Control(uid::kCopy);
  QVERIFY(!copy->isEnabled());
  QTest::mouseClick(copy, Qt::RightButton);
  QCOMPARE(f.TextOf(uid::kCopy), QStringLiteral("&Copy_i"));
  QVERIFY(f.session.state.copyAsIntelHex);
  QTest::mouseClick(copy, Qt::RightButton);
  QCOMPARE(f.TextOf(uid::kCopy), QStringLiteral("&Copy"));
  QVERIFY(!f.session.state.copyAsIntelHex);
  // A right click elsewhere changes nothing; a left click on Copy neither.
  QTest::mouseClick(f.Control(uid::kErase), Qt::RightButton);
  QTest::mouseClick(copy, Qt::LeftButton);
  QCOMPARE(f.TextOf(uid::kCopy), QStringLiteral("&Copy"));
}

void MainWindowTest::dropUsesFirstFileAndIgnoresFolders() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  for (const char* name : {"a.mhx", "b.hex", "c.srec"}) f.dir.Write(name, "S9030000FC\r\n");
  DropUrls(f.window.get(), {QUrl::fromLocalFile(QString::fromStdString(f.dir.File("a.mhx"))),
                            QUrl::fromLocalFile(QString::fromStdString(f.dir.File("b.hex"))),
                            QUrl::fromLocalFile(QString::fromStdString(f.dir.File("c.srec")))});
  QCOMPARE(f.TextOf(uid::kHexFile), QStringLiteral("a.mhx"));
  QCOMPARE(f.session.state.hexFilePath, f.dir.File("a.mhx"));
  QCOMPARE(profile::GetString(f.dir.File("DATAFILE.TXT"), "Recent", "Write File", ""),
           f.dir.File("a.mhx"));
  DropUrls(f.window.get(), {QUrl::fromLocalFile(QString::fromStdString(f.dir.Path()))});
  QCOMPARE(f.TextOf(uid::kHexFile), QStringLiteral("a.mhx"));
  QCOMPARE(f.session.state.hexFilePath, f.dir.File("a.mhx"));
}

void MainWindowTest::enterAndEscapeLeaveTheWindowOpen() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  f.Control(uid::kTargetList)->setFocus();
  QTest::keyClick(f.window.get(), Qt::Key_Return);
  QTest::keyClick(f.window.get(), Qt::Key_Escape);
  QVERIFY(f.window->isVisible());
  QVERIFY(!f.session.state.closing);
  QVERIFY(f.window->close());
  QVERIFY(!f.window->isVisible());
  QVERIFY(f.session.state.closing);
  QCOMPARE(f.window->result(), int(QDialog::Rejected));
}

void MainWindowTest::comCommandsStorePortAndResetButtons() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  EnableFlashCommands(f.session);
  f.window->RunCommand(ui::cmd::kCom1 + 2);
  QCOMPARE(profile::GetString(f.dir.File("Customize.ini"), "Com", "Com", ""), std::string("2"));
  QCOMPARE(f.TextOf(uid::kCommandGroup), QStringLiteral("Command  to  COM3"));
  QCOMPARE(EnabledButtons(f), QStringLiteral("1042,1041"));
}

void MainWindowTest::crystalChangeSavesAndResetsButtons() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  EnableFlashCommands(f.session);
  auto* crystal = qobject_cast<QComboBox*>(f.Control(uid::kCrystalList));
  crystal->setCurrentIndex(1);
  emit crystal->activated(1);
  QCOMPARE(profile::GetInt(f.dir.File("DATAFILE.TXT"), "Recent", "RATE", -1), 1);
  QCOMPARE(EnabledButtons(f), QStringLiteral("1042,1041"));
  QCOMPARE(f.session.state.crystalIndex, 1);
}

void MainWindowTest::tooltipsOnlyWhenSwitchedOn() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  QWidget* download = f.Control(uid::kDownload);
  QCOMPARE(download->toolTip(), QStringLiteral("Transfers a control program to the microcomputer"));
  auto ask = [&] {
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), download->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(download, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  QCOMPARE(ask(), QString());
  f.dir.Write("Customize.ini", "[Tool]\r\nToolTips=1\r\n");
  LoadUserSettings(f.session);
  QCOMPARE(ask(), download->toolTip());
  // The Hex File box shows the path of the hex file.
  f.ui.SetHexFileTooltip("/somewhere/app.mhx");
  QCOMPARE(f.Control(uid::kHexFile)->toolTip(), QStringLiteral("/somewhere/app.mhx"));
}

void MainWindowTest::captionsFitAtEveryFontSize_data() {
  QTest::addColumn<int>("points");
  QTest::newRow("8 pt") << 8;
  QTest::newRow("10 pt") << 10;
  QTest::newRow("14 pt") << 14;
}

void MainWindowTest::captionsFitAtEveryFontSize() {
  QFETCH(int, points);
  const QFont saved = QApplication::font();
  QFont font = saved;
  font.setPointSize(points);
  QApplication::setFont(font);
  {
    UiFixture f;
    QCOMPARE(f.Start(), StartupStatus::Ok);
    EnableFlashCommands(f.session);  // a hex file name and every caption shown
    ui::CheckSumDialog checkSum({}, f.window.get());
    ui::AboutBox about(f.window.get());
    for (QWidget* root : std::initializer_list<QWidget*>{f.window.get(), &checkSum, &about}) {
      for (QWidget* w : root->findChildren<QWidget*>()) {
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(w); l && l->pixmap().isNull()) text = l->text();
        if (text.isEmpty()) continue;
        // The caption as drawn, with the frame or indicator that surrounds it.
        const QFontMetrics m(w->font());
        const QString shown = ui::StaticControlText(text.toStdString());
        int needed = m.horizontalAdvance(shown);
        if (qobject_cast<QAbstractButton*>(w)) needed += m.averageCharWidth() * 2;
        QVERIFY2(needed <= w->width() && m.height() <= w->height(),
                 qPrintable(QStringLiteral("%1 needs %2 x %3 px, has %4 x %5")
                                .arg(text)
                                .arg(needed)
                                .arg(m.height())
                                .arg(w->width())
                                .arg(w->height())));
        QVERIFY2(root->rect().contains(w->geometry()), qPrintable(text + " leaves its window"));
      }
    }
  }
  QApplication::setFont(saved);
}

void MainWindowTest::checkSumDialogShowsTheSum() {
  CommandLog log;
  UiFixture f;
  QCOMPARE(f.Start(log.Actions()), StartupStatus::Ok);
  ui::CheckSumDialog dialog(
      [&](const std::string& fill) { return log.Actions().checkSum(f.session, fill); },
      f.window.get());
  auto* fill = qobject_cast<QLineEdit*>(ui::FindControl(&dialog, uid::kFillData));
  auto* result = qobject_cast<QLineEdit*>(ui::FindControl(&dialog, uid::kCheckSumResult));
  QCOMPARE(fill->text(), QStringLiteral("FF"));
  QCOMPARE(result->text(), QString());
  fill->clear();
  QTest::keyClicks(fill, "a0b");  // upper case, at most two characters
  QCOMPARE(fill->text(), QStringLiteral("A0"));
  QTest::mouseClick(ui::FindControl(&dialog, uid::kCheckSumButton), Qt::LeftButton);
  QCOMPARE(result->text(), QStringLiteral("1234"));
  QCOMPARE(log.ran.back(), std::string("checksum A0"));
}

// A FIFO would block the window in open for ever, /dev/zero would be read
// until memory runs out: both are a file that cannot be opened.
void MainWindowTest::checkSumOfWhatIsNoFileDoesNotFreeze() {
  UiFixture f;
  QCOMPARE(f.Start(ui::EngineActions()), StartupStatus::Ok);
  QCOMPARE(mkfifo(f.dir.File("pipe.mhx").c_str(), 0644), 0);
  QCOMPARE(symlink("/dev/zero", f.dir.File("zero.mhx").c_str()), 0);
  for (const char* name : {"pipe.mhx", "zero.mhx"}) {
    f.session.state.hexFilePath = f.dir.File(name);
    Answerer answerer(f.ui);
    ui::CheckSumDialog dialog(
        [&](const std::string& fill) { return ui::EngineActions().checkSum(f.session, fill); },
        f.window.get());
    dialog.show();
    dialog.Compute();
    QCOMPARE(answerer.boxTexts, std::vector<QString>{QStringLiteral("file open error")});
    QCOMPARE(qobject_cast<QLineEdit*>(ui::FindControl(&dialog, uid::kCheckSumResult))->text(),
             QString());
  }
}

void MainWindowTest::aboutBoxAndHelpFiles() {
  ui::AboutBox box(nullptr);
  auto* version = qobject_cast<QLabel*>(ui::FindControl(&box, uid::kVersion));
  QCOMPARE(version->text().toStdString(), ProgramVersionText());
  QCOMPARE(box.windowTitle(), QStringLiteral("(C)Information"));
  QCOMPARE(ui::HelpFilePath("/opt/flash/", true), std::string("/opt/flash/radido_html.chm"));
  QCOMPARE(ui::HelpFilePath("/opt/flash/", false), std::string("/opt/flash/zozaze_html.chm"));
}

void MainWindowTest::fileDialogFilterList() {
  QCOMPARE(ui::QtFilterList(kHexFileFilter),
           QStringLiteral("S format files (*.mhx *.srec *.cnv *.ahx);;Intel Hex files (*.hex);;"
                          "all files (*.*)"));
  QCOMPARE(ui::QtFilterList("Sound (*.wav)|*.wav||"), QStringLiteral("Sound (*.wav)"));
  QCOMPARE(ui::QtFilterList("Binary|*.bin;*.img||"), QStringLiteral("Binary (*.bin *.img)"));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
