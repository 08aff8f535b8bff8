// The DDX helpers for texts, trackbar and spin box positions and check boxes.
#include "ui/framework/data_exchange.h"

#include <QAbstractButton>
#include <QtGlobal>

#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"
#include "ui/framework/window_text.h"

namespace quirelle::framework {

void CDataExchange::Fail(int id, const char* what) {
  failed_ = true;
  qWarning("dialog data exchange: control %d %s", id, what);
}

QWidget* CDataExchange::Control(int id) {
  QWidget* widget = dialog_.GetDlgItem(id);
  if (widget == nullptr) {
    Fail(id, "does not exist");
  }
  return widget;
}

void DDX_Text(CDataExchange& dx, int id, QString& value) {
  QWidget* widget = dx.Control(id);
  if (widget == nullptr) {
    return;
  }
  if (dx.saveAndValidate()) {
    value = GetWindowText(*widget);
  } else {
    SetWindowText(*widget, value);
  }
}

void DDX_Text(CDataExchange& dx, int id, std::string& value) {
  QString text = QString::fromStdString(value);
  DDX_Text(dx, id, text);
  if (dx.saveAndValidate()) {
    value = text.toStdString();
  }
}

void DDX_Slider(CDataExchange& dx, int id, int& value) {
  QWidget* widget = dx.Control(id);
  auto* slider = dynamic_cast<CSliderCtrl*>(widget);
  if (widget != nullptr && slider == nullptr) {
    dx.Fail(id, "is not a trackbar");
  }
  if (slider == nullptr) {
    return;
  }
  if (dx.saveAndValidate()) {
    value = slider->GetPos();
  } else {
    slider->SetPos(value);
  }
}

void DDX_Spin(CDataExchange& dx, int id, int& value) {
  QWidget* widget = dx.Control(id);
  auto* spin = dynamic_cast<CSpinCtrl*>(widget);
  if (widget != nullptr && spin == nullptr) {
    dx.Fail(id, "is not a spin box");
  }
  if (spin == nullptr) {
    return;
  }
  if (dx.saveAndValidate()) {
    value = spin->GetPos();
  } else {
    spin->SetPos(value);
  }
}

void DDX_Check(CDataExchange& dx, int id, int& value) {
  QWidget* widget = dx.Control(id);
  auto* button = qobject_cast<QAbstractButton*>(widget);
  if (widget != nullptr && (button == nullptr || !button->isCheckable())) {
    dx.Fail(id, "is not a check box");
    return;
  }
  if (button == nullptr) {
    return;
  }
  if (dx.saveAndValidate()) {
    value = button->isChecked() ? 1 : 0;
  } else {
    button->setChecked(value != 0);
  }
}

void DDX_Check(CDataExchange& dx, int id, bool& value) {
  int checked = value ? 1 : 0;
  DDX_Check(dx, id, checked);
  if (dx.saveAndValidate()) {
    value = checked != 0;
  }
}

}  // namespace quirelle::framework
