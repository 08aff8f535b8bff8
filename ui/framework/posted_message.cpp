// Queueing window messages as Qt events, guarded against a dialog that has gone.
#include "ui/framework/posted_message.h"

#include <QCoreApplication>
#include <memory>

namespace quirelle::framework {

QEvent::Type WindowMessageEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void PostedMessageWindow::Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  // The lock keeps the target from going away between the check and the queueing.
  std::lock_guard lock(mutex_);
  if (target_ == nullptr) {
    return;
  }
  auto event = std::make_unique<WindowMessageEvent>(message, wParam, lParam);
  QCoreApplication::postEvent(target_, event.release());  // the queue owns it now
}

bool PostedMessageWindow::Alive() const {
  std::lock_guard lock(mutex_);
  return target_ != nullptr;
}

void PostedMessageWindow::Attach(QObject& target) {
  std::lock_guard lock(mutex_);
  target_ = &target;
}

void PostedMessageWindow::Detach() {
  QObject* previous = nullptr;
  {
    std::lock_guard lock(mutex_);
    previous = target_;
    target_ = nullptr;
  }
  if (previous != nullptr) {
    QCoreApplication::removePostedEvents(previous, WindowMessageEvent::EventType());
  }
}

}  // namespace quirelle::framework
