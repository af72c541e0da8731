// The customize sheet: which keys each page writes, and when.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include "base/Profile.h"
#include "base/Settings.h"
#include "support/FakeSysfs.h"
#include "support/TempDir.h"
#include "ui/ControlIds.h"
#include "ui/CustomizeSheet.h"
#include "ui/SerialDevices.h"
#include "ui/SoundPlayer.h"

using namespace flash;
using flash::test::TempDir;
namespace uid = flash::ui::id;

namespace {

struct Sheet {
  explicit Sheet(UserSettings settings = {}, const std::string& customize = "")
      : sheet((WriteFirst(dir, customize), dir.Path()), settings, sounds, nullptr) {
    sheet.show();
  }
  // Customize.ini as the sheet finds it when it opens.
  static int WriteFirst(const TempDir& d, const std::string& customize) {
    if (!customize.empty()) d.Write("Customize.ini", customize);
    return 0;
  }
  std::string Key(const char* section, const char* key) const {
    return profile::GetString(dir.File("Customize.ini"), section, key, "(missing)");
  }
  template <typename T>
  T* Get(int controlId) {
    return qobject_cast<T*>(ui::FindControl(&sheet, controlId));
  }
  // Closes the next message box, noting its caption and text.
  void AnswerNextBox() {
    QTimer::singleShot(0, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes << box->windowTitle() + u'|' + box->text();
        box->accept();
      }
    });
  }

  TempDir dir;
  ui::SoundPlayer sounds;
  ui::CCustomPropMain sheet;
  QStringList boxes;
};

}  // namespace

class CustomizeSheetTest : public QObject {
  Q_OBJECT
 private slots:
  void okAtOnceWritesOnlyTheComKey();
  void portNumbers_data();
  void portNumbers();
  void portNumberThatIsNoIntegerIsRefused();
  void waveFileNames_data();
  void waveFileNames();
  void typedNameBelongsToTheEventShownWhenTheEditBegan();
  void badWaveNameComesBackWithMessage558();
  void beepAndWaveSetTheEnableFlag();
  void soundSwitchDisablesTheOtherControlsButKeepsTheEvents();
  void applyWritesAtOnceAndCancelKeepsIt();
  void toolTipsPage();
  void comPageMapsTheDevice();
  void comPageListsTheDevicesWithWhatIsKnown();
  void resetSequenceOfTheShownPort();
};

void CustomizeSheetTest::okAtOnceWritesOnlyTheComKey() {
  UserSettings settings;
  settings.comPortIndex = 4;
  settings.soundEnabled = 1;
  settings.toolTipsEnabled = 1;
  Sheet s(settings);
  QCOMPARE(s.Get<QLineEdit>(uid::kComNumber)->text(), QStringLiteral("5"));
  QVERIFY(!s.sheet.ApplyButton()->isEnabled());
  s.sheet.accept();
  QCOMPARE(s.sheet.result(), int(QDialog::Accepted));
  QCOMPARE(s.Key("Com", "Com"), std::string("4"));
  QCOMPARE(s.Key("Sound", "Sound"), std::string("(missing)"));
  QCOMPARE(s.Key("Tool", "ToolTips"), std::string("(missing)"));
  QCOMPARE(s.Key("Ports", "COM5"), std::string("(missing)"));
  QCOMPARE(s.Key("Reset", "COM5"), std::string("(missing)"));
}

void CustomizeSheetTest::portNumbers_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("written");
  QTest::newRow("1") << "1" << "0";
  QTest::newRow("255") << "255" << "254";
  QTest::newRow("256") << "256" << "";
  QTest::newRow("0") << "0" << "";
  QTest::newRow("-3") << "-3" << "";
  QTest::newRow("blanks") << " 12 " << "11";
}

void CustomizeSheetTest::portNumbers() {
  QFETCH(QString, typed);
  QFETCH(QString, written);
  Sheet s;
  auto* edit = s.Get<QLineEdit>(uid::kComNumber);
  edit->clear();
  QTest::keyClicks(edit, typed);
  QVERIFY(s.sheet.ApplyButton()->isEnabled());
  s.sheet.accept();
  QCOMPARE(QString::fromStdString(s.Key("Com", "Com")), written);
}

void CustomizeSheetTest::portNumberThatIsNoIntegerIsRefused() {
  Sheet s;
  s.sheet.Tabs()->setCurrentIndex(2);
  s.Get<QLineEdit>(uid::kComNumber)->setText(QStringLiteral("COM3"));
  s.AnswerNextBox();
  s.sheet.accept();
  QCOMPARE(s.boxes.size(), 1);
  QVERIFY(s.boxes[0].endsWith(QStringLiteral("Please enter an integer.")));
  QVERIFY(s.sheet.isVisible());
  QCOMPARE(s.sheet.Tabs()->currentIndex(), 0);  // back on the page that refused
  QCOMPARE(s.Key("Com", "Com"), std::string("(missing)"));
  QCOMPARE(s.Key("Tool", "ToolTips"), std::string("(missing)"));
}

void CustomizeSheetTest::waveFileNames_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("accepted");
  QTest::newRow("capitals") << "C:\\sounds\\DING.WAV" << true;
  QTest::newRow("unix path") << "/usr/share/sounds/ding.wav" << true;
  QTest::newRow("shortest") << "a.wav" << true;
  QTest::newRow("none") << "<none>" << true;
  QTest::newRow("only .wav after backslash") << "C:\\sounds\\.wav" << false;
  QTest::newRow("only .wav after slash") << "/sounds/.wav" << false;
  QTest::newRow("other extension") << "ding.mp3" << false;
  QTest::newRow("bare wav") << "wav" << false;
  QTest::newRow("bare .wav") << ".wav" << false;
}

void CustomizeSheetTest::waveFileNames() {
  QFETCH(QString, name);
  QFETCH(bool, accepted);
  QCOMPARE(ui::IsWaveFileName(name.toStdString()), accepted);
}

void CustomizeSheetTest::typedNameBelongsToTheEventShownWhenTheEditBegan() {
  Sheet s;
  s.dir.Write("ding.wav", "RIFF");
  s.sheet.Tabs()->setCurrentIndex(1);
  auto* file = s.Get<QComboBox>(uid::kWaveFile);
  auto* event = s.Get<QComboBox>(uid::kEventList);
  s.Get<QCheckBox>(uid::kEnableSound)->click();
  file->setFocus(Qt::MouseFocusReason);
  QTest::qWait(0);
  file->setEditText(QString::fromStdString(s.dir.File("ding.wav")));
  // The user picks END in the event list: the combo loses the focus first.
  event->setFocus(Qt::MouseFocusReason);
  QTest::qWait(0);
  event->setCurrentIndex(1);
  emit event->activated(1);
  ui::CCustomPropSound* page = s.sheet.SoundPage();
  QCOMPARE(page->errorFile, s.dir.File("ding.wav"));
  QCOMPARE(page->errorEnable, 1);
  QCOMPARE(page->endFile, std::string("<none>"));
  QCOMPARE(file->currentText(), QStringLiteral("<none>"));  // END's file shows now
  s.sheet.accept();
  QCOMPARE(s.Key("Sound", "ErrorPass"), s.dir.File("ding.wav"));
  QCOMPARE(s.Key("Sound", "ErrorEnable"), std::string("1"));
  QCOMPARE(s.Key("Sound", "Sound"), std::string("1"));
  QCOMPARE(s.Key("Sound", "EndPass"), std::string("<none>"));
}

void CustomizeSheetTest::badWaveNameComesBackWithMessage558() {
  UserSettings settings;
  settings.soundEnabled = 1;
  Sheet s(settings);
  s.sheet.Tabs()->setCurrentIndex(1);
  auto* file = s.Get<QComboBox>(uid::kWaveFile);
  file->setFocus(Qt::MouseFocusReason);
  QTest::qWait(0);
  file->setEditText(QStringLiteral("tune.mp3"));
  s.AnswerNextBox();
  s.Get<QComboBox>(uid::kEventList)->setFocus(Qt::MouseFocusReason);
  QTest::qWait(0);
  QCOMPARE(s.boxes, QStringList{QStringLiteral(
                        "zuzur|The entry file has a mistake\nIt returns to the original file")});
  QCOMPARE(file->currentText(), QStringLiteral("<none>"));
  QCOMPARE(s.sheet.SoundPage()->errorFile, std::string("<none>"));
}

void CustomizeSheetTest::beepAndWaveSetTheEnableFlag() {
  UserSettings settings;
  settings.soundEnabled = 1;
  Sheet s(settings);
  s.sheet.Tabs()->setCurrentIndex(1);
  ui::CCustomPropSound* page = s.sheet.SoundPage();
  s.Get<QRadioButton>(uid::kBeep)->click();
  QCOMPARE(page->errorType, 1);
  QCOMPARE(page->errorEnable, 1);
  QVERIFY(!s.Get<QComboBox>(uid::kWaveFile)->isEnabled());
  s.Get<QRadioButton>(uid::kWave)->click();
  QCOMPARE(page->errorType, 0);
  QCOMPARE(page->errorEnable, 0);  // a wave without a file is off
  QVERIFY(s.Get<QComboBox>(uid::kWaveFile)->isEnabled());
}

void CustomizeSheetTest::soundSwitchDisablesTheOtherControlsButKeepsTheEvents() {
  UserSettings settings;
  settings.soundEnabled = 1;
  settings.endType = 1;
  settings.endEnable = 1;
  settings.errorFile = "/gone/missing.wav";
  settings.errorEnable = 1;
  Sheet s(settings);
  s.sheet.Tabs()->setCurrentIndex(1);
  s.Get<QCheckBox>(uid::kEnableSound)->click();
  for (int control : {uid::kEventLabel, uid::kEventList, uid::kSoundTypeGroup, uid::kWave,
                      uid::kBeep, uid::kWaveFileLabel, uid::kWaveFile, uid::kWaveOpen,
                      uid::kWavePlay, uid::kWaveStop})
    QVERIFY2(!ui::FindControl(&s.sheet, control)->isEnabled(), qPrintable(QString::number(control)));
  s.sheet.accept();
  QCOMPARE(s.Key("Sound", "Sound"), std::string("0"));
  QCOMPARE(s.Key("Sound", "EndType"), std::string("1"));
  QCOMPARE(s.Key("Sound", "EndEnable"), std::string("1"));
  QCOMPARE(s.Key("Sound", "ErrorEnable"), std::string("1"));
  // A wave path that names no file is stored as none.
  QCOMPARE(s.Key("Sound", "ErrorPass"), std::string("<none>"));
}

void CustomizeSheetTest::applyWritesAtOnceAndCancelKeepsIt() {
  Sheet s;
  s.sheet.Tabs()->setCurrentIndex(2);
  s.Get<QCheckBox>(uid::kToolTips)->click();
  QVERIFY(s.sheet.ApplyButton()->isEnabled());
  s.sheet.ApplyButton()->click();
  QVERIFY(!s.sheet.ApplyButton()->isEnabled());
  QCOMPARE(s.Key("Tool", "ToolTips"), std::string("1"));
  QCOMPARE(s.Key("Com", "Com"), std::string("0"));
  s.Get<QCheckBox>(uid::kToolTips)->click();
  s.sheet.reject();
  QCOMPARE(s.Key("Tool", "ToolTips"), std::string("1"));
}

void CustomizeSheetTest::toolTipsPage() {
  UserSettings settings;
  settings.toolTipsEnabled = 1;
  Sheet s(settings);
  s.sheet.Tabs()->setCurrentIndex(2);
  QVERIFY(s.Get<QCheckBox>(uid::kToolTips)->isChecked());
  s.Get<QCheckBox>(uid::kToolTips)->click();
  s.sheet.accept();
  QCOMPARE(s.Key("Tool", "ToolTips"), std::string("0"));
  QCOMPARE(s.Key("Sound", "Sound"), std::string("(missing)"));  // never shown
}

void CustomizeSheetTest::comPageMapsTheDevice() {
  if (!ui::PortsAreMapped()) QSKIP("COM ports are the platform's own names here");
  UserSettings settings;
  settings.comPortIndex = 2;
  Sheet s(settings);
  auto* device = s.Get<QComboBox>(uid::kComDevice);
  QCOMPARE(device->currentText(), QStringLiteral("/dev/ttyS2"));
  device->setEditText(QStringLiteral("/dev/ttyUSB0"));
  s.sheet.accept();
  QCOMPARE(s.Key("Com", "Com"), std::string("2"));
  QCOMPARE(s.Key("Ports", "COM3"), std::string("/dev/ttyUSB0"));
  QCOMPARE(ComDevicePath(s.dir.Path(), 3), std::string("/dev/ttyUSB0"));
  // Another number shows the device that number maps to.
  Sheet again(settings);
  again.dir.Write("Customize.ini", "[Ports]\r\nCOM7=/dev/ttyACM1\r\n");
  auto* number = again.Get<QLineEdit>(uid::kComNumber);
  number->clear();
  QTest::keyClicks(number, "7");
  QCOMPARE(again.Get<QComboBox>(uid::kComDevice)->currentText(), QStringLiteral("/dev/ttyACM1"));
}

// The inventory's roots for the sheets made while it lives.
class FakeDesk {
 public:
  FakeDesk() {
    qputenv("FLASH_SYSFS_ROOT", QByteArray::fromStdString(tree.Sys()));
    qputenv("FLASH_DEV_ROOT", QByteArray::fromStdString(tree.Dev()));
  }
  ~FakeDesk() {
    qunsetenv("FLASH_SYSFS_ROOT");
    qunsetenv("FLASH_DEV_ROOT");
  }
  test::FakeSerialTree tree;
};

void CustomizeSheetTest::comPageListsTheDevicesWithWhatIsKnown() {
  if (!ui::PortsAreMapped()) QSKIP("COM ports are the platform's own names here");
  FakeDesk desk;
  const std::string link = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  desk.tree.AddUsb("ttyUSB0", test::FakeSerialTree::Ftdi("A50285BI", link, 16));
  desk.tree.AddSerial8250("ttyS1", 4);
  desk.tree.AddSerial8250("ttyS0", 0);  // no UART: not offered
  const int held = ::open(desk.tree.Node("ttyUSB0").c_str(), O_RDWR | O_CLOEXEC);
  QVERIFY(held >= 0);
  UserSettings settings;
  settings.comPortIndex = 2;
  Sheet s(settings, "[Ports]\r\nCOM3=" + desk.tree.ById(link) + "\r\n");
  ::close(held);
  auto* device = s.Get<QComboBox>(uid::kComDevice);
  QCOMPARE(device->count(), 2);
  QCOMPARE(device->itemText(0).toStdString(), desk.tree.ById(link));
  QCOMPARE(device->itemText(1).toStdString(), desk.tree.Node("ttyS1"));
  const QString ftdi = device->itemData(0, Qt::ToolTipRole).toString();
  // This process holds it open; comm names it by its first 15 characters.
  const QString busy = QStringLiteral("ttyUSB0, FT232R USB UART, serial A50285BI, COM3, busy: PID ") +
                       QString::number(::getpid()) + QStringLiteral(" (");
  QVERIFY2(ftdi.startsWith(busy) && ftdi.endsWith(u')'), qPrintable(ftdi));
  QCOMPARE(device->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("ttyS1, driver port"));
  // The mapped device shows with its description; a name not present says so.
  auto* info = s.sheet.findChild<QLabel*>(QStringLiteral("comDeviceInfo"));
  QVERIFY(info);
  QCOMPARE(device->currentText().toStdString(), desk.tree.ById(link));
  QCOMPARE(info->text(), ftdi);
  device->setEditText(QStringLiteral("/dev/ttyUSB7"));
  QCOMPARE(info->text(), QStringLiteral("not present now"));
  device->setCurrentIndex(1);
  QCOMPARE(info->text(), QStringLiteral("ttyS1, driver port"));
  s.sheet.accept();
  QCOMPARE(s.Key("Ports", "COM3"), desk.tree.Node("ttyS1"));
}

void CustomizeSheetTest::resetSequenceOfTheShownPort() {
  UserSettings settings;
  settings.comPortIndex = 2;
  Sheet s(settings, "[Reset]\r\nSequence=D0W10D1\r\nCOM3=D0W50D1\r\nCOM5=R1\r\n");
  auto* reset = s.sheet.findChild<QLineEdit*>(QStringLiteral("resetSequence"));
  auto* error = s.sheet.findChild<QLabel*>(QStringLiteral("resetError"));
  QVERIFY(reset && error);
  QCOMPARE(reset->text(), QStringLiteral("D0W50D1"));
  auto* number = s.Get<QLineEdit>(uid::kComNumber);
  number->clear();
  QTest::keyClicks(number, "5");
  QCOMPARE(reset->text(), QStringLiteral("R1"));
  QTest::keyClick(number, Qt::Key_Backspace);  // no number: nothing to edit
  QVERIFY(!reset->isEnabled());
  QTest::keyClicks(number, "3");
  QCOMPARE(reset->text(), QStringLiteral("D0W50D1"));

  // An invalid sequence shows the parser's words and is not stored.
  reset->clear();
  QTest::keyClicks(reset, "D0W20000");
  QCOMPARE(error->text(),
           QStringLiteral("reset sequence \"D0W20000\": W waits at most 10000 ms at position 3"));
  s.AnswerNextBox();
  s.sheet.accept();
  QCOMPARE(s.boxes.size(), 1);
  QVERIFY(s.boxes[0].endsWith(error->text()));
  QVERIFY(s.sheet.isVisible());
  QCOMPARE(s.Key("Reset", "COM3"), std::string("D0W50D1"));
  QCOMPARE(s.Key("Com", "Com"), std::string("(missing)"));  // nothing of the page written

  reset->clear();
  QTest::keyClicks(reset, "d0r1w100 d1r0w50");
  QCOMPARE(error->text(), QString());
  s.sheet.accept();
  QVERIFY(!s.sheet.isVisible());
  QCOMPARE(s.Key("Reset", "COM3"), std::string("d0r1w100 d1r0w50"));
  QCOMPARE(s.Key("Reset", "COM5"), std::string("R1"));
  QCOMPARE(s.Key("Reset", "Sequence"), std::string("D0W10D1"));

  // Cleared, the port has no sequence of its own.
  Sheet again(settings, s.dir.Read("Customize.ini"));
  again.sheet.findChild<QLineEdit*>(QStringLiteral("resetSequence"))->clear();
  emit again.sheet.findChild<QLineEdit*>(QStringLiteral("resetSequence"))->textEdited(QString());
  again.sheet.accept();
  QCOMPARE(again.Key("Reset", "COM3"), std::string());
  QCOMPARE(again.Key("Reset", "COM5"), std::string("R1"));
}

QTEST_MAIN(CustomizeSheetTest)
#include "CustomizeSheetTest.moc"
