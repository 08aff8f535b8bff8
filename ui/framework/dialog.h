// The dialog base: a fixed-size dialog built from a template, with data exchange between members
// and controls, OK/Cancel handling (Exit/Enter is OK; Escape and the close box are Cancel),
// command and message maps (a spin box the user changes is a command too), trackbar
// notifications, and a window the engine can post to.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/window.h"
#include "ui/framework/dialog_template.h"
#include "ui/framework/dialog_units.h"
#include "ui/framework/message_box.h"
#include "ui/framework/message_map.h"
#include "ui/framework/posted_message.h"
#include "ui/framework/template_loader.h"

namespace quirelle::framework {

class CDataExchange;
class CSliderCtrl;

inline constexpr int kDoModalFailed = -1;

class CDialog : public QDialog {
  Q_OBJECT

 public:
  // From the current resource module's template; a missing template makes DoModal and Create
  // fail.
  explicit CDialog(int templateId, QWidget* parent = nullptr);
  // From a template the caller keeps alive.
  explicit CDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
  ~CDialog() override;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Builds the window if needed, runs OnInitDialog and the modal loop; the EndDialog result,
  // or kDoModalFailed when there is no template.
  int DoModal();
  // Modeless: builds the window owned by `owner` (the application's main window when none is
  // given), runs OnInitDialog, and shows it when its template says visible.
  bool Create(QWidget* owner = nullptr);
  bool IsCreated() const { return created_; }
  void EndDialog(int result);

  // False (refresh) puts the members into the controls; true (read-back) reads them back.
  // False when a control named in the exchange is missing or of the wrong kind.
  bool UpdateData(bool saveAndValidate = true);

  // The first control with this id, or nullptr.
  QWidget* GetDlgItem(int id) const;
  void EnableDlgItem(int id, bool enable);
  void SetDlgItemText(int id, const QString& text);
  QString GetDlgItemText(int id) const;
  void SetWindowText(const QString& text) { setWindowTitle(text); }
  QString GetWindowText() const { return windowTitle(); }
  // With this dialog as parent; an empty caption takes the window title.
  int MessageBox(const QString& text, const QString& caption = {}, unsigned type = kMbOk);

  // Where other threads post messages to this dialog; alive while the window exists.
  platform::Window& MessageWindow() { return *window_; }
  std::shared_ptr<platform::Window> SharedMessageWindow() { return window_; }
  // Queues a message to this dialog; false when the window is gone.
  bool PostMessage(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

  const DialogTemplate* Template() const { return template_; }
  // The dialog units of the window's font; (1, 1) before the window is built.
  const DialogUnits& Units() const { return units_; }

 protected:
  // Base: one refresh. True lets the focus go to the first control that takes Tab.
  virtual bool OnInitDialog();
  virtual void DoDataExchange(CDataExchange& dx);
  // Base OK: read the controls back, then end with kIdOk. Base Cancel: end with kIdCancel.
  virtual void OnOK();
  virtual void OnCancel();
  // Trackbar notifications; the base does nothing. thumbPosition matters for codes 4 and 5.
  virtual void OnHScroll(unsigned code, unsigned thumbPosition, CSliderCtrl* slider);
  virtual void OnVScroll(unsigned code, unsigned thumbPosition, CSliderCtrl* slider);

  void MapMessage(std::uint32_t message, MessageMap::Handler handler);
  void MapCommand(int id, CommandMap::Handler handler);
  template <class D>
  void MapMessage(std::uint32_t message,
                  std::intptr_t (D::*handler)(std::uintptr_t, std::intptr_t)) {
    D* self = static_cast<D*>(this);
    MapMessage(message, [self, handler](std::uintptr_t w, std::intptr_t l) {
      return (self->*handler)(w, l);
    });
  }
  template <class D>
  void MapCommand(int id, void (D::*handler)()) {
    D* self = static_cast<D*>(this);
    MapCommand(id, [self, handler] { (self->*handler)(); });
  }

  void accept() override { OnOK(); }
  void reject() override { OnCancel(); }
  void customEvent(QEvent* event) override;

 private:
  bool BuildWindow();
  void ConnectControl(const LoadedControl& control);
  void Initialise();
  void FocusFirstTabStop();
  void OnCommand(int id);

  const DialogTemplate* template_;
  std::shared_ptr<PostedMessageWindow> window_;
  std::vector<LoadedControl> controls_;
  DialogUnits units_{1, 1};
  MessageMap messages_;
  CommandMap commands_;
  bool created_ = false;
};

}  // namespace quirelle::framework
