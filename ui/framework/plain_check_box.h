// A plain (not automatic) check box: a click reports to the dialog but leaves the check mark as
// it is; only the program sets it.
#pragma once

#include <QCheckBox>

namespace quirelle::framework {

class PlainCheckBox : public QCheckBox {
  Q_OBJECT

 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {}
};

}  // namespace quirelle::framework
