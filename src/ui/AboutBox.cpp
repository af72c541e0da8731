#include "ui/AboutBox.h"

#include <QLabel>
#include <QPushButton>

#include "app/WindowCommands.h"
#include "ui/Artwork.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"

namespace flash::ui {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setFont(DialogFont());
  DialogUnits du(font());
  setWindowTitle(QStringLiteral("(C)Information"));

  auto* icon = new QLabel(this);
  icon->setGeometry(du.Rect(11, 10, 21, 20));
  const int side = qMin(icon->width(), icon->height());
  icon->setPixmap(ApplicationIcon().pixmap(QSize(side, side)));

  auto* product = new QLabel(QString::fromLatin1(kProductName), this);
  product->setGeometry(du.Rect(40, 10, 119, 9));
  auto* notice = new QLabel(QString::fromLatin1(kMakerNotice), this);
  notice->setGeometry(du.Rect(10, 36, 150, 9));
  notice->setAlignment(Qt::AlignCenter);
  notice->setWordWrap(true);

  auto* version = new QLabel(QStringLiteral("ver"), this);
  SetControlId(version, id::kVersion);
  version->setGeometry(du.Rect(40, 22, 119, 9));
  version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  version->setText(QString::fromStdString(ProgramVersionText()));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  SetControlId(ok, id::kOk);
  ok->setGeometry(du.Rect(162, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  setFixedSize(du.Size(219, 55));
}

}  // namespace flash::ui
