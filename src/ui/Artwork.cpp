#include "ui/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace flash::ui {
namespace {

// A chip with pins and a lightning stroke, in a 64-unit square.
void DrawChip(QPainter& p, const QRectF& area) {
  p.save();
  p.translate(area.topLeft());
  p.scale(area.width() / 64.0, area.height() / 64.0);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x90, 0x90, 0x98));
  for (int i = 0; i < 5; ++i) {
    const qreal o = 14 + i * 8.5;
    p.drawRect(QRectF(o, 4, 4, 8));
    p.drawRect(QRectF(o, 52, 4, 8));
    p.drawRect(QRectF(4, o, 8, 4));
    p.drawRect(QRectF(52, o, 8, 4));
  }
  QLinearGradient body(0, 10, 0, 54);
  body.setColorAt(0, QColor(0x30, 0x38, 0x48));
  body.setColorAt(1, QColor(0x14, 0x18, 0x22));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(11, 11, 42, 42), 4, 4);
  QPainterPath bolt;
  bolt.moveTo(36, 15);
  bolt.lineTo(23, 34);
  bolt.lineTo(31, 34);
  bolt.lineTo(27, 49);
  bolt.lineTo(42, 28);
  bolt.lineTo(33, 28);
  bolt.closeSubpath();
  p.setBrush(QColor(0xFF, 0xC8, 0x2E));
  p.drawPath(bolt);
  p.restore();
}

}  // namespace

QIcon ApplicationIcon() {
  QIcon icon;
  for (int side : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    DrawChip(p, QRectF(0, 0, side, side));
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

QPixmap LogoPixmap(QSize size, qreal devicePixelRatio) {
  QPixmap pm(size * devicePixelRatio);
  pm.setDevicePixelRatio(devicePixelRatio);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal h = size.height();
  QLinearGradient bg(0, 0, size.width(), 0);
  bg.setColorAt(0, QColor(0x1C, 0x3F, 0x7A));
  bg.setColorAt(1, QColor(0x3C, 0x7E, 0xC8));
  p.setPen(Qt::NoPen);
  p.setBrush(bg);
  p.drawRect(QRectF(0, 0, size.width(), h));
  DrawChip(p, QRectF(2, 2, h - 4, h - 4));
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(qMax(8, static_cast<int>(h * 0.45)));
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(h + 2, 0, size.width() - h - 4, h), Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromLatin1(kProductName));
  p.end();
  return pm;
}

}  // namespace flash::ui
