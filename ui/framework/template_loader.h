// Builds a dialog's window from its template: the frame (caption, fixed client size, close box,
// no minimise or maximise box) and one widget per control, placed in dialog units.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "ui/framework/dialog_template.h"
#include "ui/framework/dialog_units.h"
#include "ui/framework/resource_module.h"

namespace quirelle::framework {

struct LoadedControl {
  int id = kNoId;
  std::unique_ptr<QWidget> widget;
};

// Widget by kind: static → QLabel; push button → QPushButton; check box → PlainCheckBox;
// owner-drawn button → CBitmapButton; edit → QLineEdit (QPlainTextEdit when multi-line);
// trackbar → CSliderCtrl; spin box → CSpinCtrl. Icon statics take the size of their 32 × 32 icon.
std::unique_ptr<QWidget> CreateControl(const ControlTemplate& control, QWidget& parent,
                                       const DialogUnits& units, const ResourceModule& resources);

// The controls in template order, children of `dialog`, chained in that order for Tab.
std::vector<LoadedControl> LoadControls(const DialogTemplate& dialogTemplate, QWidget& dialog,
                                        const DialogUnits& units, const ResourceModule& resources);

void ApplyFrame(const DialogTemplate& dialogTemplate, QDialog& dialog, const DialogUnits& units);

}  // namespace quirelle::framework
