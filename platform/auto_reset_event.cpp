#include "platform/auto_reset_event.h"

#include <chrono>

namespace quirelle::platform {

void AutoResetEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  cv_.notify_one();
}

void AutoResetEvent::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

void AutoResetEvent::SetClock(const Clock& clock) {
  std::lock_guard lock(mutex_);
  clock_ = &clock;
}

WaitResult AutoResetEvent::Wait(std::uint32_t timeoutMillis) {
  std::unique_lock lock(mutex_);
  const std::uint64_t deadline = clock_->NowMicros() + std::uint64_t{timeoutMillis} * 1000;
  while (!signalled_) {
    const std::uint64_t now = clock_->NowMicros();
    if (now >= deadline) {
      return WaitResult::kTimedOut;
    }
    // A manual clock moves without telling us, so look at it again every millisecond.
    const auto slice = clock_->IsReal() ? std::chrono::microseconds(deadline - now)
                                        : std::chrono::microseconds(1000);
    cv_.wait_for(lock, slice);
  }
  signalled_ = false;
  return WaitResult::kSignalled;
}

}  // namespace quirelle::platform
