#pragma once
// Dialog templates are drawn in design units: a quarter of the font's average
// character width across, an eighth of its height down. Measuring the font the
// window really uses keeps the proportions at any scale factor and with any
// desktop font, so captions are never clipped.
#include <QFont>
#include <QRect>

namespace flash::ui {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int X(int units) const;
  int Y(int units) const;
  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const;

  int BaseWidth() const { return baseWidth_; }
  int BaseHeight() const { return baseHeight_; }

 private:
  int baseWidth_;
  int baseHeight_;
};

// The font every dialog of the program uses: the desktop's dialog font.
QFont DialogFont();

}  // namespace flash::ui
