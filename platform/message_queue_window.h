// A window for a program without a toolkit: posted messages wait in a queue until taken.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/window.h"

namespace quirelle::platform {

struct PostedMessage {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

class MessageQueueWindow final : public Window {
 public:
  void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool Alive() const override { return true; }
  // The oldest message, waiting at most `timeoutMillis` for one (0: do not wait).
  std::optional<PostedMessage> Take(std::uint32_t timeoutMillis);

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<PostedMessage> queue_;
};

}  // namespace quirelle::platform
