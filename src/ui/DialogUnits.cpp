#include "ui/DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>

namespace flash::ui {

DialogUnits::DialogUnits(const QFont& font) {
  QFontMetrics m(font);
  // The average width of the 52 letters, rounded up as the platform's dialog
  // manager does it.
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  baseWidth_ = (m.horizontalAdvance(letters) / 26 + 1) / 2;
  baseHeight_ = m.height();
  if (baseWidth_ < 1) baseWidth_ = 1;
  if (baseHeight_ < 1) baseHeight_ = 1;
}

int DialogUnits::X(int units) const { return (units * baseWidth_ + 2) / 4; }
int DialogUnits::Y(int units) const { return (units * baseHeight_ + 4) / 8; }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  // Edges are mapped, not sizes, so neighbouring controls never overlap by rounding.
  const int left = X(x);
  const int top = Y(y);
  return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

QFont DialogFont() { return QApplication::font("QDialog"); }

}  // namespace flash::ui
