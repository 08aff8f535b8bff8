// Time sources for timed waits: the steady clock, or a manual clock that a test moves on.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace quirelle::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds since an arbitrary, fixed origin; never goes back.
  virtual std::uint64_t NowMicros() const = 0;
  // True when this clock is the real steady clock, so waits may sleep on it directly.
  virtual bool IsReal() const = 0;
};

class SteadyClock final : public Clock {
 public:
  std::uint64_t NowMicros() const override;
  bool IsReal() const override { return true; }
  static SteadyClock& Instance();
};

// A clock that only moves when told to; safe to read and move from any thread.
class ManualClock final : public Clock {
 public:
  std::uint64_t NowMicros() const override { return now_.load(std::memory_order_acquire); }
  bool IsReal() const override { return false; }
  void Advance(std::uint64_t micros) { now_.fetch_add(micros, std::memory_order_acq_rel); }

 private:
  std::atomic<std::uint64_t> now_{0};
};

}  // namespace quirelle::platform
