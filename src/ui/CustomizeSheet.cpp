#include "ui/CustomizeSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QDir>
#include <cstdint>
#include <optional>

#include "base/Messages.h"
#include "base/Profile.h"
#include "link/ResetSequence.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"
#include "ui/SerialDevices.h"
#include "ui/SoundPlayer.h"

namespace flash::ui {
namespace {

constexpr const char* kNone = "<none>";
constexpr int kEventError = 0;
constexpr int kEventEnd = 1;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A control made, numbered (0: a control the resources do not number) and placed.
template <class T, class... Args>
T* Control(QWidget* parent, int controlId, const QRect& where, Args&&... args) {
  auto* w = new T(std::forward<Args>(args)..., parent);
  if (controlId != 0) SetControlId(w, controlId);
  w->setGeometry(where);
  return w;
}

// A wrapped text below a field, found by its object name.
QLabel* NoteLabel(QWidget* parent, const char* name, const QRect& where, const QString& text = {}) {
  auto* label = Control<QLabel>(parent, 0, where, text);
  label->setObjectName(QLatin1String(name));
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

// The integer exchange of a dialog field: blanks, an optional sign and decimal
// digits, nothing else.
std::optional<long long> ParseInteger(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  bool ok = false;
  const long long v = t.toLongLong(&ok, 10);
  if (!ok || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return v;
}

}  // namespace

bool IsWaveFileName(const std::string& name) {
  if (name == kNone) return true;
  if (name.size() < 5) return false;
  const std::string ext = name.substr(name.size() - 4);
  if (!profile::EqualsNoCase(ext, ".wav")) return false;
  // A name must stand before the extension: ".wav" alone as the last part is none.
  const char before = name[name.size() - 5];
  return before != '\\' && before != '/';
}

std::string StoredWavePath(const std::string& path) {
  if (path.empty() || path == kNone) return kNone;
  QFileInfo info(Q(path));
  return info.isFile() ? path : std::string(kNone);
}

// ---------------------------------------------------------------- COM PORT

CCustomPropCom::CCustomPropCom(const std::string& programDir, const UserSettings& settings,
                               QWidget* parent)
    : CustomPage(parent), path_(programDir + kCustomizeFile), programDir_(programDir) {
  setWindowTitle(QStringLiteral("COM PORT"));
  DialogUnits du(DialogFont());
  (new QGroupBox(QStringLiteral("COM PORT SELECT"), this))->setGeometry(du.Rect(7, 7, 117, 40));
  auto* label = Control<QLabel>(this, 0, du.Rect(15, 24, 50, 9), QStringLiteral("COM (1-255)"));
  number_ = Control<QLineEdit>(this, id::kComNumber, du.Rect(68, 22, 44, 14),
                              QString::number(static_cast<int>(settings.comPortIndex) + 1));
  number_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setBuddy(number_);
  connect(number_, &QLineEdit::textEdited, this, [this] {
    ShowMappedDevice();
    ShowResetSequence();
    emit Changed();
  });

  if (PortsAreMapped()) AddDeviceControls();
  AddResetControls(device_ ? 103 : 55);
  ShowResetSequence();
}

void CCustomPropCom::AddDeviceControls() {
  DialogUnits du(DialogFont());
  auto* deviceLabel =
      Control<QLabel>(this, 0, du.Rect(7, 55, 166, 9), QStringLiteral("&Device of this COM port"));
  device_ = Control<QComboBox>(this, id::kComDevice, du.Rect(7, 65, 166, 14));
  device_->setEditable(true);
  device_->setInsertPolicy(QComboBox::NoInsert);
  // The stable name goes into [Ports]; what is known of the device shows
  // below the field and as the item's tooltip.
  for (const SerialDeviceChoice& d : SerialDeviceChoices(programDir_)) {
    device_->addItem(Q(d.path));
    device_->setItemData(device_->count() - 1, Q(d.description), Qt::ToolTipRole);
  }
  deviceLabel->setBuddy(device_);
  deviceInfo_ = NoteLabel(this, "comDeviceInfo", du.Rect(7, 81, 166, 18));
  ShowMappedDevice();
  connect(device_, &QComboBox::editTextChanged, this, [this] {
    ShowDeviceInfo();
    emit Changed();
  });
}

void CCustomPropCom::AddResetControls(int top) {
  DialogUnits du(DialogFont());
  auto* label = Control<QLabel>(this, 0, du.Rect(7, top, 166, 9),
                                QStringLiteral("&Reset sequence of this COM port"));
  reset_ = Control<QLineEdit>(this, 0, du.Rect(7, top + 10, 166, 14));
  reset_->setObjectName(QStringLiteral("resetSequence"));
  label->setBuddy(reset_);
  resetError_ = NoteLabel(this, "resetError", du.Rect(7, top + 26, 166, 16));
  resetError_->setStyleSheet(QStringLiteral("color: red"));
  NoteLabel(this, "resetHint", du.Rect(7, top + 42, 166, 34),
            QStringLiteral("Like D0R1W100D1R0W50: D and R set DTR and RTS to 0 or 1, Wn "
                           "waits n ms. Empty: key Sequence of [Reset], for all ports, applies."));
  connect(reset_, &QLineEdit::textEdited, this, [this] {
    resetError_->setText(Q(ResetSequenceError()));
    emit Changed();
  });
}

std::optional<int> CCustomPropCom::ShownCom() const {
  auto n = ParseInteger(number_->text());
  return n && *n >= 1 && *n <= 255 ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
}

void CCustomPropCom::ShowMappedDevice() {
  auto n = ShownCom();
  if (!device_ || !n) return;
  QSignalBlocker block(device_);
  device_->setEditText(Q(ComDevicePath(programDir_, *n)));
  ShowDeviceInfo();
}

void CCustomPropCom::ShowDeviceInfo() {
  const int at = device_->findText(device_->currentText().trimmed());
  deviceInfo_->setText(at >= 0 ? device_->itemData(at, Qt::ToolTipRole).toString()
                               : QStringLiteral("not present now"));
}

void CCustomPropCom::ShowResetSequence() {
  auto n = ShownCom();
  reset_->setText(n ? Q(profile::GetString(path_, "Reset", "COM" + std::to_string(*n), "", 4095))
                    : QString());
  reset_->setEnabled(n.has_value());
  resetError_->setText(Q(ResetSequenceError()));
}

std::string CCustomPropCom::ResetSequenceError() const {
  const std::string text = reset_->text().trimmed().toStdString();
  if (text.empty()) return {};
  std::vector<ResetStep> steps;
  std::string error;
  return ParseResetSequence(text, steps, error) ? std::string() : error;
}

bool CCustomPropCom::Apply() {
  auto n = ParseInteger(number_->text());
  if (!n) {
    QMessageBox::warning(this, window()->windowTitle(), QStringLiteral("Please enter an integer."));
    number_->setFocus();
    number_->selectAll();
    return false;
  }
  // A number outside 1..255 is stored as an empty value, which reads as COM1.
  const bool inRange = *n >= 1 && *n <= 255;
  // A sequence that would stop every download is refused before anything is written.
  const std::string resetError = inRange ? ResetSequenceError() : std::string();
  if (!resetError.empty()) {
    resetError_->setText(Q(resetError));
    QMessageBox::warning(this, window()->windowTitle(), Q(resetError));
    reset_->setFocus();
    return false;
  }
  profile::WriteString(path_, "Com", "Com", inRange ? std::to_string(*n - 1) : std::string());
  if (!inRange) return true;
  const int com = static_cast<int>(*n);
  const std::string key = "COM" + std::to_string(com);
  if (device_) {
    const std::string chosen = device_->currentText().trimmed().toStdString();
    if (chosen != ComDevicePath(programDir_, com)) profile::WriteString(path_, "Ports", key, chosen);
  }
  // Cleared, the key stays empty: [Reset] Sequence then applies to this port.
  const std::string sequence = reset_->text().trimmed().toStdString();
  if (sequence != profile::GetString(path_, "Reset", key, "", 4095))
    profile::WriteString(path_, "Reset", key, sequence);
  return true;
}

// ---------------------------------------------------------------- Sound

CCustomPropSound::CCustomPropSound(const std::string& programDir, const UserSettings& settings,
                                   SoundPlayer& sounds, QWidget* parent)
    : CustomPage(parent), path_(programDir + kCustomizeFile), sounds_(sounds) {
  setWindowTitle(QStringLiteral("Sound"));
  soundEnabled = settings.soundEnabled;
  errorFile = settings.errorFile;
  errorType = settings.errorType;
  errorEnable = settings.errorEnable;
  endFile = settings.endFile;
  endType = settings.endType;
  endEnable = settings.endEnable;

  DialogUnits du(DialogFont());
  enable_ = Control<QCheckBox>(this, id::kEnableSound, du.Rect(7, 7, 100, 10),
                              QStringLiteral("&Enable sound"));
  eventLabel_ = Control<QLabel>(this, id::kEventLabel, du.Rect(7, 25, 30, 9),
                               QStringLiteral("Event"));
  event_ = Control<QComboBox>(this, id::kEventList, du.Rect(40, 22, 70, 14));
  event_->addItems({QStringLiteral("ERROR"), QStringLiteral("END")});
  typeGroup_ = Control<QGroupBox>(this, id::kSoundTypeGroup, du.Rect(7, 42, 166, 30),
                                 QStringLiteral("Sound type"));
  wave_ = Control<QRadioButton>(this, id::kWave, du.Rect(17, 55, 60, 10), QStringLiteral("&Wave"));
  beep_ = Control<QRadioButton>(this, id::kBeep, du.Rect(90, 55, 60, 10), QStringLiteral("&Beep"));

  fileLabel_ = Control<QLabel>(this, id::kWaveFileLabel, du.Rect(7, 80, 60, 9),
                              QStringLiteral(" Wave &File"));
  file_ = Control<QComboBox>(this, id::kWaveFile, du.Rect(7, 90, 166, 14));
  file_->setEditable(true);
  file_->setInsertPolicy(QComboBox::NoInsert);
  file_->addItem(QString::fromLatin1(kNone));
  fileLabel_->setBuddy(file_);
  file_->installEventFilter(this);
  open_ = Control<QPushButton>(this, id::kWaveOpen, du.Rect(7, 112, 50, 14),
                              QStringLiteral("&Open"));
  play_ = Control<QPushButton>(this, id::kWavePlay, du.Rect(65, 112, 50, 14),
                              QStringLiteral("&Play"));
  stop_ = Control<QPushButton>(this, id::kWaveStop, du.Rect(123, 112, 50, 14),
                              QStringLiteral("&Stop"));

  // Opening the page shows the ERROR event.
  event_->setCurrentIndex(kEventError);
  shownType = errorType;
  shownFile = errorFile;
  ApplyEnablingRule();
  ShowValues();

  connect(enable_, &QCheckBox::clicked, this, [this] { OnEnableSound(); });
  connect(event_, &QComboBox::activated, this, [this] { OnEventChanged(); });
  connect(wave_, &QRadioButton::clicked, this, [this] { OnTypeClicked(); });
  connect(beep_, &QRadioButton::clicked, this, [this] { OnTypeClicked(); });
  connect(open_, &QPushButton::clicked, this, [this] { OnOpen(); });
  connect(play_, &QPushButton::clicked, this, [this] { OnPlay(); });
  connect(stop_, &QPushButton::clicked, this, [this] { OnStop(); });
  connect(file_, &QComboBox::activated, this, [this] { OnWaveFileSelected(); });
}

int CCustomPropSound::SelectedEvent() const {
  return event_->currentIndex() == kEventEnd ? kEventEnd : kEventError;
}

void CCustomPropSound::TakeControlValues() {
  soundEnabled = enable_->isChecked() ? 1 : 0;
  shownType = beep_->isChecked() ? 1 : 0;
  shownFile = file_->currentText().toStdString();
}

void CCustomPropSound::ShowValues() {
  enable_->setChecked(soundEnabled != 0);
  // Any type but 0 is a beep.
  wave_->setChecked(shownType == 0);
  beep_->setChecked(shownType != 0);
  file_->setEditText(Q(shownFile));
}

void CCustomPropSound::ApplyEnablingRule() {
  const bool on = soundEnabled != 0;
  const bool waveOn = on && shownType == 0;
  for (QWidget* w : std::initializer_list<QWidget*>{eventLabel_, event_, typeGroup_, wave_, beep_})
    w->setEnabled(on);
  for (QWidget* w : std::initializer_list<QWidget*>{fileLabel_, file_, open_, play_, stop_})
    w->setEnabled(waveOn);
}

void CCustomPropSound::OnEnableSound() {
  TakeControlValues();
  ApplyEnablingRule();
  emit Changed();
}

void CCustomPropSound::OnEventChanged() {
  TakeControlValues();
  if (SelectedEvent() == kEventError) {
    shownFile = errorFile;
    shownType = errorType;
  } else {
    shownFile = endFile;
    shownType = endType;
  }
  ApplyEnablingRule();
  ShowValues();
}

void CCustomPropSound::OnTypeClicked() {
  TakeControlValues();
  ApplyEnablingRule();
  const int enable = (shownType == 0 && shownFile == kNone) ? 0 : 1;
  if (SelectedEvent() == kEventError) {
    errorType = shownType;
    errorEnable = enable;
  } else {
    endType = shownType;
    endEnable = enable;
  }
  emit Changed();
}

void CCustomPropSound::OnOpen() {
  QFileDialog dialog(this, QString(), QString(), QStringLiteral("Sound (*.wav)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("wav"));
  dialog.selectFile(QStringLiteral("*.wav"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  UseChosenFile(QDir::toNativeSeparators(dialog.selectedFiles().front()).toStdString());
}

void CCustomPropSound::StoreEventFile(int event, const std::string& file, int enable) {
  if (event == kEventError) {
    errorFile = file;
    errorEnable = enable;
  } else {
    endFile = file;
    endEnable = enable;
  }
}

void CCustomPropSound::UseChosenFile(const std::string& path) {
  shownFile = path;
  StoreEventFile(SelectedEvent(), path, 1);
  ShowValues();
  emit Changed();
}

void CCustomPropSound::OnWaveFileFocusIn() { editEvent = SelectedEvent(); }

void CCustomPropSound::OnWaveFileFocusOut() {
  const std::string old = shownFile;
  TakeControlValues();
  if (!IsWaveFileName(shownFile)) {
    shownFile = old;
    file_->setEditText(Q(old));
    QMessageBox::warning(this, QStringLiteral("zuzur"),
                         QString::fromUtf8(MessageText(msg::kWaveFileMistake).data()));
    return;
  }
  // The event that was shown when the edit began, not the one shown now.
  StoreEventFile(editEvent, shownFile, shownFile != kNone ? 1 : 0);
  emit Changed();
}

void CCustomPropSound::OnWaveFileSelected() {
  TakeControlValues();
  StoreEventFile(SelectedEvent(), shownFile, shownFile != kNone ? 1 : 0);
  emit Changed();
}

void CCustomPropSound::OnPlay() {
  sounds_.Stop();
  sounds_.Play(shownFile);
}

void CCustomPropSound::OnStop() { sounds_.Stop(); }

void CCustomPropSound::FinishEditing() {
  if (file_->hasFocus()) OnWaveFileFocusOut();
}

bool CCustomPropSound::eventFilter(QObject* watched, QEvent* event) {
  if (watched == file_) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
      // Focus that only moves to a popup, a box or another window is no edit boundary.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
        if (event->type() == QEvent::FocusIn) OnWaveFileFocusIn();
        else OnWaveFileFocusOut();
      }
    }
  }
  return CustomPage::eventFilter(watched, event);
}

bool CCustomPropSound::Apply() {
  errorFile = StoredWavePath(errorFile);
  endFile = StoredWavePath(endFile);
  profile::WriteString(path_, "Sound", "Sound", std::to_string(soundEnabled));
  profile::WriteString(path_, "Sound", "ErrorEnable", std::to_string(errorEnable));
  profile::WriteString(path_, "Sound", "ErrorType", std::to_string(errorType));
  profile::WriteString(path_, "Sound", "ErrorPass", errorFile);
  profile::WriteString(path_, "Sound", "EndEnable", std::to_string(endEnable));
  profile::WriteString(path_, "Sound", "EndType", std::to_string(endType));
  profile::WriteString(path_, "Sound", "EndPass", endFile);
  return true;
}

// ---------------------------------------------------------------- Tooltips

CCustomPropTool::CCustomPropTool(const std::string& programDir, const UserSettings& settings,
                                 QWidget* parent)
    : CustomPage(parent), path_(programDir + kCustomizeFile) {
  setWindowTitle(QStringLiteral("Tooltips"));
  DialogUnits du(DialogFont());
  toolTips_ = Control<QCheckBox>(this, id::kToolTips, du.Rect(7, 7, 100, 10),
                                QStringLiteral("&Tooltips"));
  toolTips_->setChecked(settings.toolTipsEnabled != 0);
  connect(toolTips_, &QCheckBox::clicked, this, [this] { emit Changed(); });
}

bool CCustomPropTool::Apply() {
  profile::WriteString(path_, "Tool", "ToolTips", toolTips_->isChecked() ? "1" : "0");
  return true;
}

// ---------------------------------------------------------------- the sheet

CCustomPropMain::CCustomPropMain(const std::string& programDir, const UserSettings& settings,
                                 SoundPlayer& sounds, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setFont(DialogFont());
  setWindowTitle(QString::fromUtf8(MessageText(msg::kCustomizeCaption).data()));
  DialogUnits du(font());

  tabs_ = new QTabWidget(this);
  com_ = new CCustomPropCom(programDir, settings, tabs_);
  sound_ = new CCustomPropSound(programDir, settings, sounds, tabs_);
  tool_ = new CCustomPropTool(programDir, settings, tabs_);
  for (CustomPage* page : std::initializer_list<CustomPage*>{com_, sound_, tool_}) {
    page->setMinimumSize(du.Size(180, 182));
    tabs_->addTab(page, page->windowTitle());
  }
  tabs_->setCurrentIndex(0);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (index >= 0 && index < 3) shown_[index] = true;
  });

  auto* buttons =
      new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply,
                           this);
  apply_ = buttons->button(QDialogButtonBox::Apply);
  apply_->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &CCustomPropMain::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CCustomPropMain::reject);
  connect(apply_, &QPushButton::clicked, this, [this] { ApplyShownPages(); });
  for (CustomPage* page : std::initializer_list<CustomPage*>{com_, sound_, tool_})
    connect(page, &CustomPage::Changed, this, [this] { apply_->setEnabled(true); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
  setFixedSize(sizeHint());
}

bool CCustomPropMain::ApplyShownPages() {
  CustomPage* pages[3] = {com_, sound_, tool_};
  for (int i = 0; i < 3; ++i) {
    if (!shown_[i]) continue;
    pages[i]->FinishEditing();
    if (!pages[i]->Apply()) {
      tabs_->setCurrentIndex(i);
      return false;
    }
  }
  apply_->setEnabled(false);
  return true;
}

void CCustomPropMain::accept() {
  if (ApplyShownPages()) QDialog::accept();
}

}  // namespace flash::ui
