// Text access by widget kind.
#include "ui/framework/window_text.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace quirelle::framework {

void SetWindowText(QWidget& widget, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(&widget)) {
    label->setText(text);
  } else if (auto* line = qobject_cast<QLineEdit*>(&widget)) {
    line->setText(text);
    line->setCursorPosition(0);  // show the start of a long text, as an edit does
  } else if (auto* multi = qobject_cast<QPlainTextEdit*>(&widget)) {
    multi->setPlainText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
    button->setText(text);
  } else {
    widget.setWindowTitle(text);
  }
}

QString GetWindowText(const QWidget& widget) {
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    return label->text();
  }
  if (const auto* line = qobject_cast<const QLineEdit*>(&widget)) {
    return line->text();
  }
  if (const auto* multi = qobject_cast<const QPlainTextEdit*>(&widget)) {
    return multi->toPlainText();
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
    return button->text();
  }
  return widget.windowTitle();
}

}  // namespace quirelle::framework
