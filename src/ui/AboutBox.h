#pragma once
// The About box: product line, the maker's line and the version text.
#include <QDialog>

namespace flash::ui {

class AboutBox final : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent);
};

}  // namespace flash::ui
