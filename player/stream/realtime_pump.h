// Drives one stream core in real time: a thread that sleeps on the steady clock until the next
// event is due and then plays what is due. For devices whose clock is the steady clock in µs
// (Now() == platform::SteadyClock::Instance().NowMicros(), UnitsPerSecond() == 1000000).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace quirelle::stream {

class StreamCore;

class RealTimePump {
 public:
  RealTimePump() = default;
  ~RealTimePump();  // Stop()
  RealTimePump(const RealTimePump&) = delete;
  RealTimePump& operator=(const RealTimePump&) = delete;

  // Starts the thread; call from StreamDevice::Start.
  void Start(StreamCore& core);
  // The schedule changed; call from StreamDevice::ScheduleChanged.
  void Wake();
  // Ends and joins the thread; call from StreamDevice::Shutdown. Safe to call twice.
  void Stop();

 private:
  void Run(StreamCore& core);

  std::mutex mutex_;
  std::condition_variable cv_;
  bool changed_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace quirelle::stream
