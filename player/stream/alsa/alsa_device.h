// The ALSA stream device: its clock is a µs clock (the steady clock when live), and each event is
// sent to the sequencer the moment the core plays it. Live, a real-time pump wakes at each event's
// time; with a manual clock the caller plays what is due. Silence (pause, stop, reset) goes out at
// once, as nothing waits in a sequencer queue.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/clock.h"
#include "player/stream/alsa/alsa_output.h"
#include "player/stream/realtime_pump.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {

class AlsaDevice final : public StreamDevice {
 public:
  AlsaDevice(std::unique_ptr<AlsaEventSink> sink, const platform::Clock& clock);
  ~AlsaDevice() override;

  std::uint64_t UnitsPerSecond() const override { return 1000000; }
  std::uint64_t Now() const override { return clock_.NowMicros(); }
  void Send(const SentMessage& message) override;
  void ScheduleChanged() override;
  void Start(StreamCore& core) override;
  void Shutdown() override;

 private:
  std::unique_ptr<AlsaEventSink> sink_;
  const platform::Clock& clock_;
  bool pumped_;  // a real clock: the pump plays the events
  RealTimePump pump_;
};

}  // namespace quirelle::stream
