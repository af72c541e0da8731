#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QUrl>

#include "app/WindowCommands.h"
#include "base/CommandButtons.h"
#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "ui/AboutBox.h"
#include "ui/Artwork.h"
#include "ui/CheckSumDialog.h"
#include "ui/ControlIds.h"
#include "ui/CustomizeSheet.h"
#include "ui/Help.h"
#include "ui/QtFrontEnd.h"

namespace flash::ui {
namespace {

QString Text(MessageId messageId) {
  return QString::fromUtf8(MessageText(messageId).data(),
                           static_cast<qsizetype>(MessageText(messageId).size()));
}

// The mnemonic letter of a caption ("&Copy" gives C), upper case; none for "Check SUM".
QChar MnemonicOf(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;
      continue;
    }
    return caption[i + 1].toUpper();
  }
  return QChar();
}

}  // namespace

MainWindow::MainWindow(Session& session, QtFrontEnd& frontEnd, WindowActions actions)
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      session_(session),
      frontEnd_(frontEnd),
      actions_(std::move(actions)),
      du_(DialogFont()) {
  if (!session_.stopRequest) session_.stopRequest = &ownStop_;
  setFont(DialogFont());
  setWindowTitle(QString::fromLatin1(kProductName));
  setWindowIcon(ApplicationIcon());
  setModal(false);
  setSizeGripEnabled(false);
  setAcceptDrops(true);
  BuildControls();
  setFixedSize(du_.Size(383, 169));
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  // The help window belongs to this run; it closes with the main window.
  if (help_) help_->deleteLater();
}

QPushButton* MainWindow::AddButton(int controlId, const char* caption, QRect geometry) {
  auto* button = new QPushButton(QString::fromLatin1(caption), this);
  SetControlId(button, controlId);
  // Enter is the dialog's OK, which does nothing; it never runs a command.
  button->setAutoDefault(false);
  button->setGeometry(geometry);
  connect(button, &QPushButton::clicked, this, [this, controlId] { RunCommand(controlId); });
  return button;
}

QLabel* MainWindow::AddLabel(const char* text, QRect geometry, Qt::Alignment align) {
  auto* l = new QLabel(QString::fromLatin1(text), this);
  l->setGeometry(geometry);
  l->setAlignment(align | Qt::AlignVCenter);
  return l;
}

void MainWindow::BuildControls() {
  BuildSelection();
  BuildRegionTable();
  BuildCommandGroup();
  BuildFooter();
}

// Target MCU, crystal and hex file, with what choosing one of them does.
void MainWindow::BuildSelection() {
  QLabel* targetLabel = AddLabel("&Target MCU", du_.Rect(7, 6, 100, 9));
  targetList_ = new QComboBox(this);
  SetControlId(targetList_, id::kTargetList);
  targetList_->setGeometry(du_.Rect(7, 16, 106, 14));
  targetList_->setToolTip(Text(550));
  targetLabel->setBuddy(targetList_);

  QLabel* crystalLabel = AddLabel("Cr&ystal Frequency", du_.Rect(119, 6, 80, 9));
  crystalList_ = new QComboBox(this);
  SetControlId(crystalList_, id::kCrystalList);
  crystalList_->setGeometry(du_.Rect(119, 16, 77, 14));
  crystalList_->setToolTip(Text(551));
  crystalLabel->setBuddy(crystalList_);

  AddLabel("Hex File", du_.Rect(7, 36, 60, 9));
  hexFile_ = new QLineEdit(this);
  SetControlId(hexFile_, id::kHexFile);
  hexFile_->setReadOnly(true);
  hexFile_->setGeometry(du_.Rect(7, 46, 146, 14));
  hexFile_->setToolTip(Text(554));
  QPushButton* open = AddButton(id::kOpen, "&Open", du_.Rect(157, 46, 39, 14));
  open->setToolTip(Text(553));

  connect(targetList_, &QComboBox::activated, this, [this](int index) {
    if (index != session_.state.deviceIndex) OnTargetSelected(session_, index);
  });
  connect(crystalList_, &QComboBox::activated, this, [this](int index) {
    if (index != session_.state.crystalIndex) OnCrystalSelected(session_, index);
  });
}

// The start, end and size of the first four flash regions.
void MainWindow::BuildRegionTable() {
  auto* flashInfo = new QGroupBox(QStringLiteral("Flash Information "), this);
  flashInfo->setGeometry(du_.Rect(7, 66, 189, 95));
  AddLabel("Start Addr", du_.Rect(15, 78, 54, 9), Qt::AlignHCenter);
  AddLabel("End Addr", du_.Rect(73, 78, 54, 9), Qt::AlignHCenter);
  AddLabel("Size", du_.Rect(131, 78, 54, 9), Qt::AlignHCenter);
  const MessageId regionTips[3] = {555, 556, 557};
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 3; ++col) {
      auto* cell = new QLabel(this);
      const int index = row * 3 + col;
      SetControlId(cell, id::kRegionFirst + index);
      cell->setGeometry(du_.Rect(15 + col * 58, 90 + row * 17, 54, 13));
      cell->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      cell->setAlignment(Qt::AlignCenter);
      if (row == 0) cell->setToolTip(Text(regionTips[col]));
      regions_[static_cast<std::size_t>(index)] = cell;
    }
  }
}

void MainWindow::BuildCommandGroup() {
  commandGroup_ = new QGroupBox(QStringLiteral("Command"), this);
  SetControlId(commandGroup_, id::kCommandGroup);
  commandGroup_->setGeometry(du_.Rect(204, 6, 172, 106));
  commandGroup_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(commandGroup_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { ShowComPortMenu(commandGroup_->mapToGlobal(p)); });

  AddButton(id::kFullOperation, "&Full Operation(D+E+B+P)", du_.Rect(212, 18, 156, 18))
      ->setToolTip(Text(548));
  AddButton(id::kDownload, "&Download", du_.Rect(212, 42, 76, 16))->setToolTip(Text(542));
  AddButton(id::kErase, "&Erase", du_.Rect(292, 42, 76, 16))->setToolTip(Text(543));
  AddButton(id::kBlankCheck, "&Blank Check", du_.Rect(212, 62, 76, 16))->setToolTip(Text(544));
  AddButton(id::kProgram, "&Program && Verify", du_.Rect(292, 62, 76, 16))
      ->setToolTip(Text(545));
  AddButton(id::kCompare, "&Read && Compare", du_.Rect(212, 82, 76, 16))->setToolTip(Text(546));
  copyButton_ = AddButton(id::kCopy, "&Copy", du_.Rect(292, 82, 76, 16));
  copyButton_->setToolTip(Text(547));
}

// The buttons under the command group, the logo and the version line.
void MainWindow::BuildFooter() {
  AddButton(id::kSetEnvironment, "&Set Environment", du_.Rect(204, 118, 72, 15))
      ->setToolTip(Text(549));
  AddButton(id::kCheckSum, "Check SUM", du_.Rect(280, 118, 50, 15));
  AddButton(id::kHelp, "&Help", du_.Rect(334, 118, 42, 15));

  auto* logo = new QLabel(this);
  SetControlId(logo, id::kLogo);
  logo->setGeometry(du_.Rect(204, 139, 172, 18));
  logo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  logo->setPixmap(LogoPixmap(logo->contentsRect().size(), devicePixelRatioF()));

  version_ = AddLabel("version", du_.Rect(204, 159, 172, 9), Qt::AlignRight);
  SetControlId(version_, id::kVersion);
  version_->setText(QString::fromStdString(ProgramVersionText()));
  version_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(version_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { ShowVersionMenu(version_->mapToGlobal(p)); });

  // The About box: Alt+A, as the entry "version(flash) (&A)..." promises.
  auto* about = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_A), this);
  connect(about, &QShortcut::activated, this, [this] { RunCommand(cmd::kAbout); });
}

void MainWindow::ControlsToState(SessionState& state) const {
  state.deviceIndex = targetList_->currentIndex();
  state.crystalIndex = crystalList_->currentIndex();
  state.hexFileName = hexFile_->text().toStdString();
  for (std::size_t i = 0; i < regions_.size(); ++i)
    state.regionTexts[i] = regions_[i]->text().toStdString();
}

namespace {

void FillList(QComboBox* list, const std::vector<std::string>& items, int selected) {
  QSignalBlocker block(list);
  bool same = list->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < list->count(); ++i)
    same = list->itemText(i).toStdString() == items[static_cast<std::size_t>(i)];
  if (!same) {
    list->clear();
    for (const auto& item : items) list->addItem(QString::fromStdString(item));
  }
  list->setCurrentIndex(selected >= 0 && selected < list->count() ? selected : -1);
}

}  // namespace

void MainWindow::StateToControls(const SessionState& state) {
  FillList(targetList_, state.deviceNames, state.deviceIndex);
  FillList(crystalList_, state.crystalTexts, state.crystalIndex);
  hexFile_->setText(QString::fromStdString(state.hexFileName));
  for (std::size_t i = 0; i < regions_.size(); ++i)
    regions_[i]->setText(QString::fromStdString(state.regionTexts[i]));
  for (int button : {id::kDownload, id::kFullOperation, id::kErase, id::kBlankCheck, id::kProgram,
                     id::kCompare, id::kCopy}) {
    if (QWidget* w = FindControl(this, button)) w->setEnabled(CommandButtonEnabled(state, button));
  }
  ShowCopyCaption();
}

void MainWindow::FocusTargetList() {
  if (!isEnabled()) {
    focusTargetWhenEnabled_ = true;  // a progress window is up; the focus follows it
    return;
  }
  targetList_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && isEnabled() && focusTargetWhenEnabled_) {
    focusTargetWhenEnabled_ = false;
    activateWindow();
    targetList_->setFocus(Qt::OtherFocusReason);
  }
  QDialog::changeEvent(event);
}

void MainWindow::SetHexFileTooltip(const std::string& path) {
  hexFile_->setToolTip(QString::fromStdString(path));
}

void MainWindow::SetCommandGroupCaption(const std::string& caption) {
  commandGroup_->setTitle(QString::fromStdString(caption));
}

void MainWindow::ShowCopyCaption() {
  copyButton_->setText(session_.state.copyAsIntelHex ? QStringLiteral("&Copy_i")
                                                     : QStringLiteral("&Copy"));
}

void MainWindow::ToggleCopyFormat() {
  session_.state.copyAsIntelHex = !session_.state.copyAsIntelHex;
  ShowCopyCaption();
}

bool MainWindow::Busy() const { return session_.state.commandRunning; }

void MainWindow::UseStopRequest(std::atomic<int>& stop) { session_.stopRequest = &stop; }

void MainWindow::RunFlashCommand(const std::function<void(Session&)>& command) {
  if (Busy() || !command) return;
  command(session_);
  if (closeWhenIdle_) {
    closeWhenIdle_ = false;
    close();
  }
}

void MainWindow::RunCommand(int command) {
  // Command numbers reach a flash command only while its button is usable.
  auto enabled = [this](int button) {
    QWidget* w = FindControl(this, button);
    return w != nullptr && w->isEnabled();
  };
  switch (command) {
    case id::kDownload:
    case cmd::kDownload:
      if (enabled(id::kDownload)) RunFlashCommand(actions_.download);
      break;
    case id::kErase:
    case cmd::kErase:
      if (enabled(id::kErase)) RunFlashCommand(actions_.erase);
      break;
    case id::kBlankCheck:
    case cmd::kBlankCheck:
      if (enabled(id::kBlankCheck)) RunFlashCommand(actions_.blankCheck);
      break;
    case id::kProgram:
    case cmd::kProgram:
      if (enabled(id::kProgram)) RunFlashCommand(actions_.programVerify);
      break;
    case id::kCompare:
    case cmd::kCompare:
      if (enabled(id::kCompare)) RunFlashCommand(actions_.readCompare);
      break;
    case id::kCopy:
    case cmd::kCopy:
      if (enabled(id::kCopy)) RunFlashCommand(actions_.copy);
      break;
    case id::kFullOperation:
    case cmd::kFullOperation:
      if (enabled(id::kFullOperation)) RunFlashCommand(actions_.fullOperation);
      break;
    case id::kOpen:
    case cmd::kOpen:
      OnOpenHexFile(session_);
      break;
    case id::kSetEnvironment:
    case cmd::kSetEnvironment:
      OpenCustomizeSheet();
      break;
    case id::kHelp:
    case cmd::kHelp:
      OpenHelp();
      break;
    case id::kCheckSum:
      OpenCheckSum();
      break;
    case cmd::kAbout:
      OpenAbout();
      break;
    case cmd::kCom1:
    case cmd::kCom1 + 1:
    case cmd::kCom1 + 2:
    case cmd::kCom1 + 3:
      OnSelectComPort(session_, command - cmd::kCom1);
      break;
    default:
      break;
  }
}

void MainWindow::ShowComPortMenu(const QPoint& globalPos) {
  QMenu menu(this);
  for (int n = 0; n < 4; ++n) {
    QAction* a = menu.addAction(QStringLiteral("COM%1").arg(n + 1));
    connect(a, &QAction::triggered, this, [this, n] { RunCommand(cmd::kCom1 + n); });
  }
  menu.exec(globalPos);
}

void MainWindow::ShowVersionMenu(const QPoint& globalPos) {
  QMenu menu(this);
  QAction* a = menu.addAction(Text(msg::kAboutMenu));
  connect(a, &QAction::triggered, this, [this] { RunCommand(cmd::kAbout); });
  menu.exec(globalPos);
}

void MainWindow::ActivateMnemonic(QChar letter) {
  if (letter == u'A') {
    RunCommand(cmd::kAbout);
    return;
  }
  for (QWidget* w : findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      if (MnemonicOf(button->text()) != letter) continue;
      if (button->isEnabled()) button->click();
      return;
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
      if (l->buddy() == nullptr || MnemonicOf(l->text()) != letter) continue;
      if (l->buddy()->isEnabled()) l->buddy()->setFocus(Qt::ShortcutFocusReason);
      return;
    }
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (!watched->isWidgetType()) return false;
  auto* target = static_cast<QWidget*>(watched);
  switch (event->type()) {
    case QEvent::KeyPress: {
      // A plain letter acts as its Alt mnemonic whichever control has the focus.
      if (target->window() != this || !isEnabled()) return false;
      auto* key = static_cast<QKeyEvent*>(event);
      const Qt::KeyboardModifiers extra =
          key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
      if (key->key() < Qt::Key_A || key->key() > Qt::Key_Z || extra != Qt::NoModifier)
        return false;
      ActivateMnemonic(QChar(u'A' + (key->key() - Qt::Key_A)));
      return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      // A right press over Copy switches the read-out format, whichever
      // window the press is for, so it works on the disabled button too.
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::RightButton || !isVisible()) return false;
      const QPointF global = mouse->globalPosition();
      if (mouse->timestamp() == lastToggleTimestamp_ && global == lastTogglePos_) return false;
      const QRect copyRect(copyButton_->mapToGlobal(QPoint(0, 0)), copyButton_->size());
      if (copyRect.contains(global.toPoint())) {
        lastToggleTimestamp_ = mouse->timestamp();
        lastTogglePos_ = global;
        ToggleCopyFormat();
      }
      return false;
    }
    case QEvent::ToolTip:
      // Tooltips show only while the setting is on.
      return target->window() == this && session_.state.settings.toolTipsEnabled == 0;
    default:
      return false;
  }
}

void MainWindow::accept() {}

void MainWindow::reject() {
  if (session_.state.closing) QDialog::reject();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    // The command runs on this thread below us and still uses its progress
    // dialog: it is asked to stop at its next look at the link, as Cancel
    // does, and the window closes when it has returned.
    int none = 0;
    if (session_.stopRequest) session_.stopRequest->compare_exchange_strong(none, kStopWindowClosed);
    closeWhenIdle_ = true;
    event->ignore();
    return;
  }
  session_.state.closing = true;
  session_.state.progressDialog.reset();
  QDialog::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  OnDropFiles(session_, paths);
  event->acceptProposedAction();
}

void MainWindow::OpenCustomizeSheet() {
  {
    CCustomPropMain sheet(StationFile(session_.state, ""), session_.state.settings, frontEnd_.Sounds(),
                         this);
    sheet.exec();
  }
  LoadUserSettings(session_);
}

void MainWindow::OpenCheckSum() {
  CheckSumDialog dialog(
      [this](const std::string& fill) {
        return actions_.checkSum ? actions_.checkSum(session_, fill) : std::string();
      },
      this);
  dialog.exec();
}

void MainWindow::OpenAbout() {
  AboutBox box(this);
  box.exec();
}

void MainWindow::OpenHelp() {
  if (QWidget* browser = ShowHelp(session_.state.programDir, SystemLocaleIsJapanese())) {
    if (help_ && help_ != browser) help_->deleteLater();
    help_ = browser;
  }
}

}  // namespace flash::ui
