#include "UiFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace flash::test {

QString UiFixture::TextOf(int id) const {
  QWidget* w = Control(id);
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

void Answerer::Tick() {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modalClasses.push_back(QString::fromLatin1(modal->metaObject()->className()));
    if (onModal) {
      auto handler = onModal;
      handler(modal);
      return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxTexts.push_back(box->text());
      // The box's first button, its default answer.
      if (QAbstractButton* first = box->buttons().isEmpty() ? nullptr : box->defaultButton())
        first->click();
      else
        box->accept();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    }
    return;
  }
  ui::QtProgressWindow* progress = ui_.CurrentProgressWindow();
  if (!progress) return;
  auto* button = qobject_cast<QPushButton*>(ui::FindControl(progress, ui::id::kProgressButton));
  auto* status = qobject_cast<QLabel*>(ui::FindControl(progress, ui::id::kProgressStatus));
  if (button && button->isEnabled() && button->text() == QStringLiteral("Ok")) {
    progressTexts.push_back(status ? status->text() : QString());
    button->click();
  }
}

}  // namespace flash::test
