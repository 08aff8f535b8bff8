// The text of a control or window, whatever widget stands for it: a static's text, an edit's
// contents, a button's caption, a top-level window's title.
#pragma once

#include <QString>
#include <QWidget>

namespace quirelle::framework {

void SetWindowText(QWidget& widget, const QString& text);
QString GetWindowText(const QWidget& widget);

}  // namespace quirelle::framework
