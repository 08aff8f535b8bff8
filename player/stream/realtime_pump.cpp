// Sleeps until the next event is due, or until the schedule changes, then plays what is due.
#include "player/stream/realtime_pump.h"

#include <chrono>
#include <optional>

#include "platform/clock.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {

RealTimePump::~RealTimePump() {
  Stop();
}

void RealTimePump::Start(StreamCore& core) {
  std::lock_guard lock(mutex_);
  stopping_ = false;
  thread_ = std::thread([this, &core] { Run(core); });
}

void RealTimePump::Wake() {
  {
    std::lock_guard lock(mutex_);
    changed_ = true;
  }
  cv_.notify_one();
}

void RealTimePump::Stop() {
  std::thread ending;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    ending.swap(thread_);
  }
  cv_.notify_one();
  if (!ending.joinable()) {
    return;
  }
  if (ending.get_id() == std::this_thread::get_id()) {
    ending.detach();
  } else {
    ending.join();
  }
}

void RealTimePump::Run(StreamCore& core) {
  const platform::Clock& clock = platform::SteadyClock::Instance();
  for (;;) {
    const std::optional<std::uint64_t> due = core.NextDueTime();
    {
      std::unique_lock lock(mutex_);
      const auto woken = [this] { return changed_ || stopping_; };
      if (due) {
        const std::chrono::steady_clock::time_point at{std::chrono::microseconds(*due)};
        cv_.wait_until(lock, at, woken);
      } else {
        cv_.wait(lock, woken);
      }
      if (stopping_) {
        return;
      }
      changed_ = false;
    }
    core.PlayUntil(clock.NowMicros());
  }
}

}  // namespace quirelle::stream
