#pragma once
// The Check SUM dialog: a fill byte as two hex digits, a button, the sum.
#include <QDialog>
#include <functional>
#include <string>

class QLineEdit;

namespace flash::ui {

class CheckSumDialog final : public QDialog {
  Q_OBJECT
 public:
  // compute: the result text for a fill text ("%04X", or empty).
  CheckSumDialog(std::function<std::string(const std::string&)> compute, QWidget* parent);

  // The "Check SUM" button.
  void Compute();

 private:
  std::function<std::string(const std::string&)> compute_;
  QLineEdit* fill_;
  QLineEdit* result_;
};

}  // namespace flash::ui
