#include "platform/message_queue_window.h"

#include <chrono>

namespace quirelle::platform {

void MessageQueueWindow::Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(PostedMessage{message, wParam, lParam});
  }
  posted_.notify_one();
}

std::optional<PostedMessage> MessageQueueWindow::Take(std::uint32_t timeoutMillis) {
  std::unique_lock lock(mutex_);
  posted_.wait_for(lock, std::chrono::milliseconds(timeoutMillis), [&] { return !queue_.empty(); });
  if (queue_.empty()) {
    return std::nullopt;
  }
  PostedMessage message = queue_.front();
  queue_.pop_front();
  return message;
}

}  // namespace quirelle::platform
