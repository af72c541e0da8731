#include "ui/ProgressWindowQt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "ui/ControlIds.h"

namespace flash::ui {

QString StaticControlText(const std::string& text) {
  QString in = QString::fromStdString(text);
  QString out;
  out.reserve(in.size());
  for (qsizetype i = 0; i < in.size(); ++i) {
    const QChar c = in[i];
    if (c == u'&') {
      if (i + 1 < in.size() && in[i + 1] == u'&') {
        out += u'&';
        ++i;
      }
      continue;
    }
    if (c == u'\r' && i + 1 < in.size() && in[i + 1] == u'\n') continue;
    out += c;
  }
  return out;
}

QtProgressWindow::QtProgressWindow(QWidget* owner, std::function<void()> onButton)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      owner_(owner),
      onButton_(std::move(onButton)),
      du_(DialogFont()) {
  setFont(DialogFont());
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QString());
  if (owner_ && owner_->isEnabled()) {
    owner_->setEnabled(false);
    ownerDisabled_ = true;
  }

  iconLabel_ = new QLabel(this);
  SetControlId(iconLabel_, id::kProgressIcon);
  iconLabel_->setGeometry(du_.Rect(18, 16, 20, 20));
  iconLabel_->setAlignment(Qt::AlignCenter);

  status_ = new QLabel(QStringLiteral("information"), this);
  SetControlId(status_, id::kProgressStatus);
  status_->setGeometry(du_.Rect(48, 20, 162, 42));
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status_->setWordWrap(true);
  status_->setTextFormat(Qt::PlainText);

  bar_ = new QProgressBar(this);
  SetControlId(bar_, id::kProgressBar);
  bar_->setGeometry(du_.Rect(5, 65, 205, 10));
  bar_->setTextVisible(false);

  button_ = new QPushButton(QStringLiteral("cancel"), this);
  SetControlId(button_, id::kProgressButton);
  button_->setGeometry(du_.Rect(82, 85, 50, 14));
  button_->setDefault(true);
  connect(button_, &QPushButton::clicked, this, [this] { Press(); });

  // The three heights, from the top of the client area to the lower edge of
  // the whole template, of the button and of the bar.
  fullHeight_ = du_.Y(103);
  heightToButton_ = button_->geometry().bottom() + 1;
  heightToBar_ = bar_->geometry().bottom() + 1;
  setFixedSize(du_.X(215), fullHeight_);

  // Stays above the main window without being its child.
  if (owner_ && owner_->windowHandle()) {
    winId();
    windowHandle()->setTransientParent(owner_->windowHandle());
  }
}

QtProgressWindow::~QtProgressWindow() {
  if (ownerDisabled_ && owner_) {
    owner_->setEnabled(true);
    owner_->activateWindow();
  }
}

void QtProgressWindow::Press() {
  if (button_->isEnabled() && onButton_) onButton_();
}

void QtProgressWindow::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void QtProgressWindow::SetStatusText(const std::string& text) {
  status_->setText(StaticControlText(text));
  if (isVisible()) status_->repaint();
}

void QtProgressWindow::SetButtonText(const std::string& text) {
  button_->setText(QString::fromStdString(text));
}

void QtProgressWindow::SetButtonEnabled(bool enabled, bool takeFocus) {
  button_->setEnabled(enabled);
  if (enabled && takeFocus) button_->setFocus(Qt::OtherFocusReason);
}

void QtProgressWindow::SetBarEnabled(bool enabled) { bar_->setEnabled(enabled); }

void QtProgressWindow::SetBar(int lower, int upper, int position) {
  bar_->setRange(lower, upper);
  bar_->setValue(position);
}

int QtProgressWindow::HeightFor(ProgressHeight height) const {
  switch (height) {
    case ProgressHeight::ToBar: return heightToBar_;
    case ProgressHeight::ToButton: return heightToButton_;
    default: return fullHeight_;
  }
}

void QtProgressWindow::SetHeight(ProgressHeight height) {
  setFixedSize(width(), HeightFor(height));
}

void QtProgressWindow::CentreOnOwner() {
  QRect area;
  if (owner_ && owner_->isVisible()) {
    area = owner_->frameGeometry();
  } else if (QScreen* screen = QApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isEmpty()) return;
  QRect mine = frameGeometry();
  mine.moveCenter(area.center());
  move(mine.topLeft());
}

void QtProgressWindow::ShowOnTop() {
  show();
  raise();
  activateWindow();
}

void QtProgressWindow::SetIcon(StandardIcon icon) {
  icon_ = icon;
  QStyle::StandardPixmap which = QStyle::SP_MessageBoxInformation;
  if (icon == StandardIcon::Warning) which = QStyle::SP_MessageBoxWarning;
  if (icon == StandardIcon::Error) which = QStyle::SP_MessageBoxCritical;
  const int side = qMin(iconLabel_->width(), iconLabel_->height());
  iconLabel_->setPixmap(style()->standardIcon(which, nullptr, this).pixmap(QSize(side, side)));
  if (isVisible()) iconLabel_->repaint();
}

void QtProgressWindow::PumpMessages() {
  // Handles what is pending and returns; never waits for more.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtProgressWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      Press();
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void QtProgressWindow::closeEvent(QCloseEvent* event) {
  // The window never ends itself; a close request is the cancel command.
  Press();
  event->ignore();
}

}  // namespace flash::ui
