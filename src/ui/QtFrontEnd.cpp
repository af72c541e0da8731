#include "ui/QtFrontEnd.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <cstdio>

#include "ui/MainWindow.h"
#include "ui/ProgressWindowQt.h"

namespace flash::ui {

QString QtFilterList(const std::string& filter) {
  QStringList parts = QString::fromStdString(filter).split(u'|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString text = parts[i].trimmed();
    QString patterns = parts[i + 1].trimmed();
    if (text.isEmpty() && patterns.isEmpty()) break;  // the closing "||"
    patterns.replace(u';', u' ');
    const qsizetype open = text.lastIndexOf(u'(');
    if (open >= 0 && text.endsWith(u')')) text = text.left(open).trimmed();
    entries << text + QStringLiteral(" (") + patterns + u')';
  }
  return entries.join(QStringLiteral(";;"));
}

QtFrontEnd::QtFrontEnd() = default;
QtFrontEnd::~QtFrontEnd() = default;

void QtFrontEnd::SetMainWindow(MainWindow* window) { window_ = window; }
MainWindow* QtFrontEnd::Window() const { return window_; }
QtProgressWindow* QtFrontEnd::CurrentProgressWindow() const { return progress_; }

QWidget* QtFrontEnd::OwnerWidget(BoxOwner owner) const {
  if (owner == BoxOwner::None) return nullptr;
  if (owner == BoxOwner::ProgressDialog && progress_) return progress_;
  if (window_ && window_->isEnabled()) return window_;
  return progress_;  // the main window is disabled while a progress window exists
}

BoxAnswer QtFrontEnd::ShowMessageBox(const MessageBoxRequest& request) {
  QMessageBox box(OwnerWidget(request.owner));
  box.setWindowTitle(QString::fromStdString(request.caption));
  QString text = QString::fromStdString(request.text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setText(text);
  box.setTextFormat(Qt::PlainText);
  switch (request.icon) {
    case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
    case BoxIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case BoxIcon::Stop: box.setIcon(QMessageBox::Critical); break;
    case BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
    default: break;
  }
  switch (request.buttons) {
    case BoxButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case BoxButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  const int answer = box.exec();
  switch (answer) {
    case QMessageBox::Cancel: return BoxAnswer::Cancel;
    case QMessageBox::Yes: return BoxAnswer::Yes;
    case QMessageBox::No: return BoxAnswer::No;
    case QMessageBox::Ok: return BoxAnswer::Ok;
    default:
      // Closed by the window manager: the box's escape answer.
      return request.buttons == BoxButtons::OkCancel ? BoxAnswer::Cancel
             : request.buttons == BoxButtons::YesNo  ? BoxAnswer::No
                                                     : BoxAnswer::Ok;
  }
}

std::unique_ptr<ProgressWindow> QtFrontEnd::CreateProgressWindow(std::function<void()> onButton) {
  auto window = std::make_unique<QtProgressWindow>(window_.data(), std::move(onButton));
  progress_ = window.get();
  return window;
}

namespace {

std::optional<std::string> RunFileDialog(QWidget* owner, const FileDialogRequest& request,
                                         bool save) {
  // The dialog opens in the requested directory; the process's current
  // directory is left alone, since the control program is found beside the program.
  QFileDialog dialog(owner);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setNameFilters(QtFilterList(request.filter).split(QStringLiteral(";;")));
  if (!request.defaultExtension.empty())
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  if (!request.initialDirectory.empty() && QDir(QString::fromStdString(request.initialDirectory)).exists())
    dialog.setDirectory(QString::fromStdString(request.initialDirectory));
  else
    dialog.setDirectory(QDir::current());
  if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(files.front()).toStdString();
}

}  // namespace

std::optional<std::string> QtFrontEnd::ChooseOpenFile(const FileDialogRequest& request) {
  return RunFileDialog(OwnerWidget(BoxOwner::MainWindow), request, false);
}

std::optional<std::string> QtFrontEnd::ChooseSaveFile(const FileDialogRequest& request) {
  return RunFileDialog(OwnerWidget(BoxOwner::MainWindow), request, true);
}

void QtFrontEnd::PlayWaveFile(const std::string& path) { sounds_.Play(path); }
void QtFrontEnd::StopSound() { sounds_.Stop(); }
void QtFrontEnd::Beep() { sounds_.Beep(); }

void QtFrontEnd::ControlsToState(SessionState& state) {
  if (window_) window_->ControlsToState(state);
}

void QtFrontEnd::StateToControls(const SessionState& state) {
  if (window_) window_->StateToControls(state);
}

void QtFrontEnd::FocusTargetList() {
  if (window_) window_->FocusTargetList();
}

void QtFrontEnd::RepaintNow() {
  if (window_ && window_->isVisible()) window_->repaint();
}

void QtFrontEnd::SetHexFileTooltip(const std::string& path) {
  if (window_) window_->SetHexFileTooltip(path);
}

void QtFrontEnd::SetCommandGroupCaption(const std::string& caption) {
  if (window_) window_->SetCommandGroupCaption(caption);
}

void QtFrontEnd::LogLine(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace flash::ui
