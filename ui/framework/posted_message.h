// Window messages posted to a dialog from any thread: each becomes a Qt event queued to the
// dialog, so its handler runs later on the dialog's thread, in posting order.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>
#include <mutex>

#include "platform/window.h"

namespace quirelle::framework {

class WindowMessageEvent : public QEvent {
 public:
  static QEvent::Type EventType();
  WindowMessageEvent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
      : QEvent(EventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

  std::uint32_t message() const { return message_; }
  std::uintptr_t wParam() const { return wParam_; }
  std::intptr_t lParam() const { return lParam_; }

 private:
  std::uint32_t message_;
  std::uintptr_t wParam_;
  std::intptr_t lParam_;
};

// The engine's view of a dialog. Attach and Detach run on the target's thread; Post and Alive
// may run on any thread. Once detached, posts are dropped and Alive is false.
class PostedMessageWindow final : public platform::Window {
 public:
  void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool Alive() const override;

  void Attach(QObject& target);
  // Also drops the messages posted and not yet handled.
  void Detach();

 private:
  mutable std::mutex mutex_;
  QObject* target_ = nullptr;
};

}  // namespace quirelle::framework
