// Spin box behaviour over QSpinBox: silent changes by the program, an empty field as the lowest
// value, and Enter kept inside the field.
#include "ui/framework/spin_ctrl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

namespace quirelle::framework {

CSpinCtrl::CSpinCtrl(QWidget* parent) : QSpinBox(parent) {
  // Typing "17" must not report bar 1 on the way.
  setKeyboardTracking(false);
  setRange(0, 0);
  connect(this, &QSpinBox::valueChanged, this, [this](int position) {
    if (!silent_) {
      emit Changed(position);
    }
  });
}

void CSpinCtrl::SetRange(int minimum, int maximum) {
  silent_ = true;
  setRange(minimum, maximum);
  silent_ = false;
}

void CSpinCtrl::SetPos(int position) {
  silent_ = true;
  setValue(position);
  silent_ = false;
}

void CSpinCtrl::fixup(QString& input) const {
  if (input.trimmed().isEmpty()) {
    // The lowest value when it stands for none, shown as its word; else none of a shift, 0.
    const int none = specialValueText().isEmpty() ? std::clamp(0, minimum(), maximum()) : minimum();
    input = locale().toString(none);
    return;
  }
  QSpinBox::fixup(input);
}

QString CSpinCtrl::textFromValue(int value) const {
  const QString text = QSpinBox::textFromValue(value);
  return signShown_ && value > 0 ? QStringLiteral("+") + text : text;
}

bool CSpinCtrl::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier &&
        (key->key() == Qt::Key_Space || key->key() == Qt::Key_Home)) {
      event->ignore();  // the shortcut gets it
      return true;
    }
  }
  return QSpinBox::event(event);
}

void CSpinCtrl::keyPressEvent(QKeyEvent* event) {
  // A digit or a sign typed into a field that shows 0 or its word for none replaces what it
  // shows: the number typed is meant ("-3", not "0-3" or "30", which the range refuses).
  const QString typed = event->text();
  const bool numeric = typed.size() == 1 &&
                       (typed.front().isDigit() || typed.front() == u'-' || typed.front() == u'+');
  const QString shown = lineEdit()->text();
  if (numeric && !lineEdit()->hasSelectedText() &&
      (shown == locale().toString(0) ||
       (!specialValueText().isEmpty() && shown == specialValueText()))) {
    lineEdit()->selectAll();
  }
  QSpinBox::keyPressEvent(event);
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter completes the number; it must not go on to press the dialog's default button.
    event->accept();
  }
}

}  // namespace quirelle::framework
