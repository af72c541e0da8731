// The progress window as the core drives it: layouts and heights, the bar's
// caption, the Cancel rules with the real button, the disabled main window,
// and the result form of a report.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

#include "UiFixture.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"

using namespace flash;
using namespace flash::test;

namespace {

ui::QtProgressWindow* WindowOf(UiFixture& f) { return f.ui.CurrentProgressWindow(); }

QPushButton* ButtonOf(UiFixture& f) {
  return qobject_cast<QPushButton*>(ui::FindControl(WindowOf(f), ui::id::kProgressButton));
}

QString StatusOf(UiFixture& f) {
  return qobject_cast<QLabel*>(ui::FindControl(WindowOf(f), ui::id::kProgressStatus))->text();
}

}  // namespace

class ProgressWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void layouts_data();
  void layouts();
  void barCaptions();
  void checkCancelNeedsAnActiveButton();
  void twoPressesGiveOneCancel();
  void inactiveCheckDoesNotPump();
  void mainWindowDisabledWhileItExists();
  void statusTextAsAStaticShowsIt();
  void resultFormNeedsOneOrTwoAcknowledgements_data();
  void resultFormNeedsOneOrTwoAcknowledgements();
};

void ProgressWindowTest::layouts_data() {
  QTest::addColumn<int>("style");
  QTest::addColumn<QString>("buttonText");
  QTest::addColumn<bool>("buttonEnabled");
  QTest::addColumn<bool>("barEnabled");
  QTest::addColumn<int>("height");  // ProgressHeight
  QTest::newRow("0: decoding") << 0 << "" << false << false << int(ProgressHeight::ToBar);
  QTest::newRow("8: download") << 8 << "" << false << true << int(ProgressHeight::ToButton);
  QTest::newRow("13: Ok") << 13 << "Ok" << true << true << int(ProgressHeight::Full);
  QTest::newRow("-1 is 13") << -1 << "Ok" << true << true << int(ProgressHeight::Full);
  QTest::newRow("14: Cancel") << 14 << "Cancel" << true << true << int(ProgressHeight::Full);
  QTest::newRow("6: Cancel without bar") << 6 << "Cancel" << true << false
                                         << int(ProgressHeight::Full);
}

void ProgressWindowTest::layouts() {
  QFETCH(int, style);
  QFETCH(QString, buttonText);
  QFETCH(bool, buttonEnabled);
  QFETCH(bool, barEnabled);
  QFETCH(int, height);
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  ProgressDialog dialog(style);
  QVERIFY(dialog.Open(f.ui));
  ui::QtProgressWindow* w = WindowOf(f);
  QVERIFY(w && w->isVisible());
  QCOMPARE(ButtonOf(f)->text(), buttonText);
  QCOMPARE(ButtonOf(f)->isEnabled(), buttonEnabled);
  QCOMPARE(ui::FindControl(w, ui::id::kProgressBar)->isEnabled(), barEnabled);
  QCOMPARE(w->height(), w->HeightFor(ProgressHeight(height)));
  // The three heights cut the window below the bar, below the button, or not at all.
  QVERIFY(w->HeightFor(ProgressHeight::ToBar) < w->HeightFor(ProgressHeight::ToButton));
  QVERIFY(w->HeightFor(ProgressHeight::ToButton) <= w->HeightFor(ProgressHeight::Full));
  QWidget* bar = ui::FindControl(w, ui::id::kProgressBar);
  QCOMPARE(w->HeightFor(ProgressHeight::ToBar), bar->geometry().bottom() + 1);
  QCOMPARE(w->HeightFor(ProgressHeight::ToButton), ButtonOf(f)->geometry().bottom() + 1);
  // Every layout is centred on the main window when the window opens.
  QVERIFY(qAbs(w->frameGeometry().center().x() - f.window->frameGeometry().center().x()) <= 1);
}

void ProgressWindowTest::barCaptions() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  ProgressDialog dialog(-1);
  QVERIFY(dialog.Open(f.ui));
  auto* bar = qobject_cast<QProgressBar*>(ui::FindControl(WindowOf(f), ui::id::kProgressBar));
  dialog.SetBar(0, 3, 1, 0);
  QCOMPARE(WindowOf(f)->windowTitle(), QStringLiteral("0 / 3"));
  QCOMPARE(bar->maximum(), 3);
  dialog.SetBar(0, 7, 1, 0);
  dialog.StepBar();
  QCOMPARE(WindowOf(f)->windowTitle(), QStringLiteral("1 / 7"));
  QCOMPARE(bar->value(), 1);
  for (int i = 0; i < 6; ++i) dialog.StepBar();
  QCOMPARE(WindowOf(f)->windowTitle(), QStringLiteral("7 / 7"));
  QCOMPARE(bar->value(), 7);
  dialog.SetLayout(13, false, std::string("Full Operation"));
  QCOMPARE(WindowOf(f)->windowTitle(), QStringLiteral("Full Operation"));
}

void ProgressWindowTest::checkCancelNeedsAnActiveButton() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  ProgressDialog dialog(14);
  QVERIFY(dialog.Open(f.ui));
  QTest::mouseClick(ButtonOf(f), Qt::LeftButton);
  // Style 8: the button is disabled and the press waits, unseen.
  dialog.SetLayout(8, false, std::nullopt);
  QVERIFY(!ButtonOf(f)->isEnabled());
  QTest::mouseClick(ButtonOf(f), Qt::LeftButton);
  QVERIFY(!dialog.CheckCancel());
  // Back to an active layout: the earlier press is reported once.
  dialog.SetLayout(14, false, std::nullopt);
  QVERIFY(dialog.CheckCancel());
  QVERIFY(!dialog.CheckCancel());
  // Escape in the window is the same press; the window stays.
  QTest::keyClick(WindowOf(f), Qt::Key_Escape);
  QVERIFY(dialog.CheckCancel());
  QVERIFY(WindowOf(f)->isVisible());
}

void ProgressWindowTest::twoPressesGiveOneCancel() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  ProgressDialog dialog(14);
  QVERIFY(dialog.Open(f.ui));
  QTest::mouseClick(ButtonOf(f), Qt::LeftButton);
  QTest::mouseClick(ButtonOf(f), Qt::LeftButton);
  QVERIFY(dialog.CheckCancel());
  QVERIFY(!dialog.CheckCancel());
}

void ProgressWindowTest::inactiveCheckDoesNotPump() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  ProgressDialog dialog(8);
  QVERIFY(dialog.Open(f.ui));
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  QVERIFY(!dialog.CheckCancel());
  QVERIFY(!ran);
  dialog.SetLayout(14, false, std::nullopt);
  QVERIFY(!dialog.CheckCancel());
  QVERIFY(ran);  // an active check handles what is pending
}

void ProgressWindowTest::mainWindowDisabledWhileItExists() {
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  {
    ProgressDialog dialog(-1);
    QVERIFY(dialog.Open(f.ui));
    ui::QtProgressWindow* w = WindowOf(f);
    QVERIFY(!f.window->isEnabled());
    // Not a child of the disabled window, so it keeps its own input.
    QVERIFY(w->isEnabled());
    QVERIFY(ButtonOf(f)->isEnabled());
    QCOMPARE(w->parentWidget(), nullptr);
    QCOMPARE(w->windowHandle()->transientParent(), f.window->windowHandle());
    QVERIFY(w->OwnerDisabled());
  }
  QVERIFY(f.window->isEnabled());
  QCOMPARE(f.ui.CurrentProgressWindow(), nullptr);
}

void ProgressWindowTest::statusTextAsAStaticShowsIt() {
  QCOMPARE(ui::StaticControlText(" Reading && Comparing"), QStringLiteral(" Reading & Comparing"));
  QCOMPARE(ui::StaticControlText("ERROR !!    \r\n No.018 Erase error"),
           QStringLiteral("ERROR !!    \n No.018 Erase error"));
  QCOMPARE(ui::StaticControlText("&Copy"), QStringLiteral("Copy"));
}

void ProgressWindowTest::resultFormNeedsOneOrTwoAcknowledgements_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("icon");
  QTest::addColumn<QStringList>("shown");
  QTest::newRow("information") << int(KindInformation) << int(StandardIcon::Information)
                               << QStringList{"It Erased a flash"};
  QTest::newRow("warning") << int(KindWarning) << int(StandardIcon::Warning)
                           << QStringList{"ERROR !!    \nIt Erased a flash"};
  QTest::newRow("error") << int(KindError) << int(StandardIcon::Error)
                         << QStringList{"ERROR !!    \nIt Erased a flash",
                                        "Please redo from download operation"};
  QTest::newRow("transfer error") << int(KindTransferError) << int(StandardIcon::Error)
                                  << QStringList{"ERROR !!    \nIt Erased a flash",
                                                 "Please redo from download operation"};
}

void ProgressWindowTest::resultFormNeedsOneOrTwoAcknowledgements() {
  QFETCH(int, kind);
  QFETCH(int, icon);
  QFETCH(QStringList, shown);
  UiFixture f;
  QCOMPARE(f.Start(), StartupStatus::Ok);
  f.session.state.progressDialog = std::make_unique<ProgressDialog>(14);
  QVERIFY(f.session.state.progressDialog->Open(f.ui));
  Answerer answerer(f.ui);
  ReportResult(f.session, 301, ResultKind(kind), SoundEnd);
  QCOMPARE(QStringList(answerer.progressTexts.begin(), answerer.progressTexts.end()), shown);
  QVERIFY(answerer.boxTexts.empty());
  QCOMPARE(int(*WindowOf(f)->ShownIcon()), icon);
  QCOMPARE(ButtonOf(f)->text(), QStringLiteral("Ok"));
  QCOMPARE(StatusOf(f), shown.back());
}

QTEST_MAIN(ProgressWindowTest)
#include "ProgressWindowTest.moc"
