// An auto-reset event: Set wakes one wait (or the next one), and the wait consumes the signal.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace quirelle::platform {

enum class WaitResult { kSignalled, kTimedOut };

class AutoResetEvent {
 public:
  // Timeouts are measured on `clock`; a manual clock lets a test let a long wait run out fast.
  explicit AutoResetEvent(const Clock& clock = SteadyClock::Instance()) : clock_(&clock) {}
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set();
  // Drops a pending signal, so that a later wait waits for a new one.
  void Reset();
  WaitResult Wait(std::uint32_t timeoutMillis);
  void SetClock(const Clock& clock);

 private:
  const Clock* clock_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace quirelle::platform
