// Data exchange between a dialog's members and its controls, in one direction per run:
// refresh (member → control) or read-back (control → member). Each DDX call names a control
// by id; a missing control or one of the wrong kind marks the exchange failed.
#pragma once

#include <QString>
#include <string>

#include "ui/framework/dialog.h"

namespace quirelle::framework {

class CDataExchange {
 public:
  CDataExchange(CDialog& dialog, bool saveAndValidate)
      : dialog_(dialog), saveAndValidate_(saveAndValidate) {}

  CDialog& dialog() const { return dialog_; }
  // True for the read-back.
  bool saveAndValidate() const { return saveAndValidate_; }
  bool failed() const { return failed_; }
  // Marks the exchange failed; `id` names the control in the warning.
  void Fail(int id, const char* what);
  // The control, or nullptr after marking the exchange failed.
  QWidget* Control(int id);

 private:
  CDialog& dialog_;
  bool saveAndValidate_;
  bool failed_ = false;
};

// Binds `control` to the dialog's control `id` on the first exchange; later ones find it bound.
template <class T>
void DDX_Control(CDataExchange& dx, int id, T*& control) {
  if (control != nullptr) {
    return;
  }
  QWidget* widget = dx.Control(id);
  if (widget == nullptr) {
    return;
  }
  control = dynamic_cast<T*>(widget);
  if (control == nullptr) {
    dx.Fail(id, "is not of the bound kind");
  }
}

// The text of a static, edit or button.
void DDX_Text(CDataExchange& dx, int id, QString& value);
void DDX_Text(CDataExchange& dx, int id, std::string& value);  // UTF-8
// A trackbar's position.
void DDX_Slider(CDataExchange& dx, int id, int& value);
// A spin box's position.
void DDX_Spin(CDataExchange& dx, int id, int& value);
// A check box: 1 checked, 0 clear; any non-zero value checks it.
void DDX_Check(CDataExchange& dx, int id, int& value);
void DDX_Check(CDataExchange& dx, int id, bool& value);

}  // namespace quirelle::framework
