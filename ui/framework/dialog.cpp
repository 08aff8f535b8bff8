// The dialog base: building the window from its template, modal and modeless runs, OK/Cancel,
// commands, trackbar notifications and posted messages.
#include "ui/framework/dialog.h"

#include <QAbstractButton>
#include <QCoreApplication>

#include "ui/framework/data_exchange.h"
#include "ui/framework/dialog_font.h"
#include "ui/framework/resource_module.h"
#include "ui/framework/slider_ctrl.h"
#include "ui/framework/spin_ctrl.h"
#include "ui/framework/win_app.h"
#include "ui/framework/window_text.h"

namespace quirelle::framework {

CDialog::CDialog(int templateId, QWidget* parent)
    : QDialog(parent),
      template_(CurrentResourceModule().FindTemplate(templateId)),
      window_(std::make_shared<PostedMessageWindow>()) {}

CDialog::CDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent),
      template_(&dialogTemplate),
      window_(std::make_shared<PostedMessageWindow>()) {}

CDialog::~CDialog() {
  window_->Detach();
}

bool CDialog::BuildWindow() {
  if (created_) {
    return true;
  }
  if (template_ == nullptr) {
    return false;
  }
  const QFont font = DialogFont(template_->fontName, template_->fontPoints);
  setFont(font);
  units_ = DialogUnits::FromFont(font);
  ApplyFrame(*template_, *this, units_);
  controls_ = LoadControls(*template_, *this, units_, CurrentResourceModule());
  for (const LoadedControl& control : controls_) {
    ConnectControl(control);
  }
  created_ = true;
  return true;
}

void CDialog::ConnectControl(const LoadedControl& control) {
  QWidget* widget = control.widget.get();
  if (auto* slider = qobject_cast<CSliderCtrl*>(widget)) {
    connect(slider, &CSliderCtrl::Scrolled, this, [this, slider](unsigned code, unsigned pos) {
      if (slider->IsVertical()) {
        OnVScroll(code, pos, slider);
      } else {
        OnHScroll(code, pos, slider);
      }
    });
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    const int id = control.id;
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  } else if (auto* spin = qobject_cast<CSpinCtrl*>(widget)) {
    // As an edit's change reaches its dialog: a command with the control's id.
    const int id = control.id;
    connect(spin, &CSpinCtrl::Changed, this, [this, id] { OnCommand(id); });
  }
}

void CDialog::Initialise() {
  window_->Attach(*this);
  if (OnInitDialog()) {
    FocusFirstTabStop();
  }
}

void CDialog::FocusFirstTabStop() {
  for (const LoadedControl& control : controls_) {
    QWidget* widget = control.widget.get();
    if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isEnabled() && !widget->isHidden()) {
      widget->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

int CDialog::DoModal() {
  if (!BuildWindow()) {
    return kDoModalFailed;
  }
  Initialise();
  const int result = exec();
  // The window is gone for the engine once the modal run ends.
  window_->Detach();
  return result;
}

bool CDialog::Create(QWidget* owner) {
  if (!BuildWindow()) {
    return false;
  }
  if (owner == nullptr && parentWidget() == nullptr) {
    owner = AfxGetMainWnd();
  }
  if (owner != nullptr && owner != parentWidget()) {
    setParent(owner, windowFlags());
  }
  Initialise();
  if (HasStyle(template_->styles, style::kVisible)) {
    show();
  }
  return true;
}

void CDialog::EndDialog(int result) {
  done(result);
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.failed();
}

QWidget* CDialog::GetDlgItem(int id) const {
  for (const LoadedControl& control : controls_) {
    if (control.id == id) {
      return control.widget.get();
    }
  }
  return nullptr;
}

void CDialog::EnableDlgItem(int id, bool enable) {
  if (QWidget* widget = GetDlgItem(id)) {
    widget->setEnabled(enable);
  }
}

void CDialog::SetDlgItemText(int id, const QString& text) {
  if (QWidget* widget = GetDlgItem(id)) {
    framework::SetWindowText(*widget, text);
  }
}

QString CDialog::GetDlgItemText(int id) const {
  const QWidget* widget = GetDlgItem(id);
  return widget != nullptr ? framework::GetWindowText(*widget) : QString();
}

int CDialog::MessageBox(const QString& text, const QString& caption, unsigned type) {
  return framework::MessageBox(this, text, caption.isEmpty() ? windowTitle() : caption, type);
}

bool CDialog::PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (!window_->Alive()) {
    return false;
  }
  window_->Post(message, wParam, lParam);
  return true;
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::DoDataExchange(CDataExchange&) {}

void CDialog::OnOK() {
  // A failed read-back is a binding fault, already warned about; it must not keep Exit from
  // closing the dialog.
  UpdateData(true);
  EndDialog(kIdOk);
}

void CDialog::OnCancel() {
  EndDialog(kIdCancel);
}

void CDialog::OnHScroll(unsigned, unsigned, CSliderCtrl*) {}

void CDialog::OnVScroll(unsigned, unsigned, CSliderCtrl*) {}

void CDialog::MapMessage(std::uint32_t message, MessageMap::Handler handler) {
  messages_.Add(message, std::move(handler));
}

void CDialog::MapCommand(int id, CommandMap::Handler handler) {
  commands_.Add(id, std::move(handler));
}

void CDialog::OnCommand(int id) {
  if (commands_.Dispatch(id)) {
    return;
  }
  if (id == kIdOk) {
    OnOK();
  } else if (id == kIdCancel) {
    OnCancel();
  }
}

void CDialog::customEvent(QEvent* event) {
  if (event->type() != WindowMessageEvent::EventType()) {
    QDialog::customEvent(event);
    return;
  }
  const auto& message = static_cast<const WindowMessageEvent&>(*event);
  messages_.Dispatch(message.message(), message.wParam(), message.lParam());
}

}  // namespace quirelle::framework
