#include "ui/ControlIds.h"

#include <QVariant>

namespace flash::ui {

namespace {
constexpr const char* kIdProperty = "controlId";
}

void SetControlId(QWidget* widget, int controlId) {
  widget->setProperty(kIdProperty, controlId);
}

int ControlId(const QWidget* widget) {
  QVariant v = widget->property(kIdProperty);
  return v.isValid() ? v.toInt() : 0;
}

QWidget* FindControl(const QWidget* root, int controlId) {
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (ControlId(w) == controlId) return w;
  }
  return nullptr;
}

}  // namespace flash::ui
