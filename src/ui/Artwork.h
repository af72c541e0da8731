#pragma once
// The application icon and the logo of the main window, drawn rather than
// shipped as files, so they stay sharp at every scale factor.
#include <QIcon>
#include <QPixmap>

namespace flash::ui {

QIcon ApplicationIcon();
// The logo at a logical size; devicePixelRatio gives the pixels per unit.
QPixmap LogoPixmap(QSize size, qreal devicePixelRatio);

// The product name in the window caption and the About box.
inline constexpr const char* kProductName = "Flash Programmer";
inline constexpr const char* kMakerNotice = "Programs the on-chip flash over a serial port";

}  // namespace flash::ui
