// Widget creation and placement for each kind of control of a dialog template.
#include "ui/framework/template_loader.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/framework/bitmap_button.h"
#include "ui/framework/plain_check_box.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"

namespace quirelle::framework {
namespace {

constexpr int kIconSize = 32;

QString Text(const ControlTemplate& control) {
  return QString::fromUtf8(control.text.data(), static_cast<qsizetype>(control.text.size()));
}

std::unique_ptr<QWidget> CreateStatic(const ControlTemplate& control, QWidget& parent,
                                      const ResourceModule& resources) {
  auto label = std::make_unique<QLabel>(&parent);
  if (HasStyle(control.styles, style::kIcon)) {
    label->setPixmap(resources.LoadIcon(control.resource).pixmap(kIconSize, kIconSize));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
  }
  // Texts are shown as they are: an ampersand never becomes a mnemonic.
  label->setTextFormat(Qt::PlainText);
  label->setText(Text(control));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  return label;
}

std::unique_ptr<QWidget> CreateButton(const ControlTemplate& control, QWidget& parent) {
  if (HasStyle(control.styles, style::kOwnerDraw)) {
    auto button = std::make_unique<CBitmapButton>(&parent);
    button->setText(Text(control));  // kept for accessibility; never drawn
    button->SetClientEdge(HasStyle(control.styles, style::kClientEdge));
    return button;
  }
  if (HasStyle(control.styles, style::kCheckBox)) {
    return std::make_unique<PlainCheckBox>(Text(control), &parent);
  }
  auto button = std::make_unique<QPushButton>(Text(control), &parent);
  button->setDefault(HasStyle(control.styles, style::kDefaultButton));
  return button;
}

std::unique_ptr<QWidget> CreateEdit(const ControlTemplate& control, QWidget& parent) {
  const bool readOnly = HasStyle(control.styles, style::kReadOnly);
  const bool framed = !HasStyle(control.styles, style::kNoBorder);
  if (HasStyle(control.styles, style::kMultiLine)) {
    auto edit = std::make_unique<QPlainTextEdit>(Text(control), &parent);
    edit->setReadOnly(readOnly);
    edit->setTabChangesFocus(true);
    edit->setFrameShape(framed ? QFrame::StyledPanel : QFrame::NoFrame);
    edit->setVerticalScrollBarPolicy(
        HasStyle(control.styles, style::kVScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setLineWrapMode(HasStyle(control.styles, style::kAutoHScroll)
                              ? QPlainTextEdit::NoWrap
                              : QPlainTextEdit::WidgetWidth);
    return edit;
  }
  auto edit = std::make_unique<QLineEdit>(Text(control), &parent);
  edit->setReadOnly(readOnly);
  edit->setFrame(framed);
  edit->setCursorPosition(0);
  return edit;
}

std::unique_ptr<QWidget> CreateTrackbar(const ControlTemplate& control, QWidget& parent) {
  const bool vertical = HasStyle(control.styles, style::kVertical);
  auto slider = std::make_unique<CSliderCtrl>(vertical ? Qt::Vertical : Qt::Horizontal, &parent);
  slider->setTickPosition(HasStyle(control.styles, style::kTicksBoth) ? QSlider::TicksBothSides
                                                                      : QSlider::NoTicks);
  slider->SetBorder(HasStyle(control.styles, style::kBorder));
  return slider;
}

std::unique_ptr<QWidget> CreateSpin(const ControlTemplate& control, QWidget& parent) {
  auto spin = std::make_unique<CSpinCtrl>(&parent);
  spin->SetNoneText(Text(control));
  return spin;
}

Qt::FocusPolicy FocusPolicyFor(const ControlTemplate& control) {
  if (HasStyle(control.styles, style::kTabStop)) {
    return Qt::StrongFocus;
  }
  return control.kind == ControlKind::kStatic ? Qt::NoFocus : Qt::ClickFocus;
}

}  // namespace

std::unique_ptr<QWidget> CreateControl(const ControlTemplate& control, QWidget& parent,
                                       const DialogUnits& units, const ResourceModule& resources) {
  std::unique_ptr<QWidget> widget;
  switch (control.kind) {
    case ControlKind::kStatic:
      widget = CreateStatic(control, parent, resources);
      break;
    case ControlKind::kButton:
      widget = CreateButton(control, parent);
      break;
    case ControlKind::kEdit:
      widget = CreateEdit(control, parent);
      break;
    case ControlKind::kTrackbar:
      widget = CreateTrackbar(control, parent);
      break;
    case ControlKind::kSpin:
      widget = CreateSpin(control, parent);
      break;
  }
  QRect geometry = units.ToPixels(control.x, control.y, control.w, control.h);
  if (control.kind == ControlKind::kStatic && HasStyle(control.styles, style::kIcon)) {
    geometry.setSize({kIconSize, kIconSize});
  }
  widget->setGeometry(geometry);
  widget->setFocusPolicy(FocusPolicyFor(control));
  widget->setEnabled(!HasStyle(control.styles, style::kDisabled));
  widget->setHidden(HasStyle(control.styles, style::kHidden));
  return widget;
}

std::vector<LoadedControl> LoadControls(const DialogTemplate& dialogTemplate, QWidget& dialog,
                                        const DialogUnits& units, const ResourceModule& resources) {
  std::vector<LoadedControl> controls;
  controls.reserve(dialogTemplate.controls.size());
  QWidget* previousTabStop = nullptr;
  for (const ControlTemplate& control : dialogTemplate.controls) {
    LoadedControl loaded{control.id, CreateControl(control, dialog, units, resources)};
    if (HasStyle(control.styles, style::kTabStop)) {
      if (previousTabStop != nullptr) {
        QWidget::setTabOrder(previousTabStop, loaded.widget.get());
      }
      previousTabStop = loaded.widget.get();
    }
    controls.push_back(std::move(loaded));
  }
  return controls;
}

void ApplyFrame(const DialogTemplate& dialogTemplate, QDialog& dialog, const DialogUnits& units) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
  if (HasStyle(dialogTemplate.styles, style::kCaption)) {
    flags |= Qt::WindowTitleHint;
  }
  if (HasStyle(dialogTemplate.styles, style::kSysMenu)) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  dialog.setWindowFlags(flags);
  dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption.data(),
                                          static_cast<qsizetype>(dialogTemplate.caption.size())));
  dialog.setSizeGripEnabled(false);
  dialog.setFixedSize(units.ToPixels(dialogTemplate.w, dialogTemplate.h));
}

}  // namespace quirelle::framework
