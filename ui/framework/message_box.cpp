// Message boxes over QMessageBox.
#include "ui/framework/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "ui/framework/win_app.h"

namespace quirelle::framework {
namespace {

constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;

QMessageBox::StandardButtons ButtonsFor(unsigned type) {
  switch (type & kButtonMask) {
    case kMbOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case kMbYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case kMbYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    default:
      return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconFor(unsigned type) {
  switch (type & kIconMask) {
    case kMbIconError:
      return QMessageBox::Critical;
    case kMbIconQuestion:
      return QMessageBox::Question;
    case kMbIconWarning:
      return QMessageBox::Warning;
    case kMbIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int ResultFor(int button, unsigned type) {
  switch (button) {
    case QMessageBox::Yes:
      return kIdYes;
    case QMessageBox::No:
      return kIdNo;
    case QMessageBox::Cancel:
      return kIdCancel;
    case QMessageBox::Ok:
      return kIdOk;
    default:
      // Escape or the close box on a box without Cancel.
      return (type & kButtonMask) == kMbOk ? kIdOk : kIdCancel;
  }
}

}  // namespace

int MessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned type) {
  QMessageBox box(IconFor(type), caption, text, ButtonsFor(type), parent);
  box.setTextFormat(Qt::PlainText);
  if ((type & kButtonMask) == kMbYesNo) {
    box.setEscapeButton(QMessageBox::No);
  }
  return ResultFor(box.exec(), type);
}

int AfxMessageBox(const QString& text, unsigned type) {
  return MessageBox(AfxGetMainWnd(), text, QCoreApplication::applicationName(), type);
}

}  // namespace quirelle::framework
