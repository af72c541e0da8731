#include "ui/CheckSumDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"

namespace flash::ui {

CheckSumDialog::CheckSumDialog(std::function<std::string(const std::string&)> compute,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      compute_(std::move(compute)) {
  setFont(DialogFont());
  DialogUnits du(font());
  setWindowTitle(QStringLiteral("Check SUM"));

  auto* label = new QLabel(QStringLiteral("Fill Data"), this);
  label->setGeometry(du.Rect(7, 9, 34, 9));

  fill_ = new QLineEdit(QStringLiteral("FF"), this);
  SetControlId(fill_, id::kFillData);
  fill_->setGeometry(du.Rect(43, 7, 21, 14));
  fill_->setAlignment(Qt::AlignCenter);
  fill_->setMaxLength(2);
  // Typed letters become capitals, as in an upper-case edit control.
  connect(fill_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const int cursor = fill_->cursorPosition();
    fill_->setText(text.toUpper());
    fill_->setCursorPosition(cursor);
  });

  auto* button = new QPushButton(QStringLiteral("Check SUM"), this);
  SetControlId(button, id::kCheckSumButton);
  button->setGeometry(du.Rect(68, 7, 56, 14));
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, &CheckSumDialog::Compute);

  result_ = new QLineEdit(this);
  SetControlId(result_, id::kCheckSumResult);
  result_->setGeometry(du.Rect(127, 7, 30, 14));
  result_->setAlignment(Qt::AlignCenter);
  result_->setReadOnly(true);
  result_->setMaxLength(4);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  SetControlId(ok, id::kOk);
  ok->setGeometry(du.Rect(107, 37, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  setFixedSize(du.Size(164, 58));
}

void CheckSumDialog::Compute() {
  const std::string text = compute_ ? compute_(fill_->text().toStdString()) : std::string();
  result_->setText(QString::fromStdString(text));
}

}  // namespace flash::ui
