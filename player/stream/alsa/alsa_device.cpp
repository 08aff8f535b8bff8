// The ALSA stream device.
#include "player/stream/alsa/alsa_device.h"

#include <utility>

#include "player/stream/alsa/alsa_event.h"

namespace quirelle::stream {

AlsaDevice::AlsaDevice(std::unique_ptr<AlsaEventSink> sink, const platform::Clock& clock)
    : sink_(std::move(sink)), clock_(clock), pumped_(clock.IsReal()) {}

AlsaDevice::~AlsaDevice() {
  pump_.Stop();
}

void AlsaDevice::Send(const SentMessage& message) {
  snd_seq_event_t event;
  if (sink_ && ToSeqEvent(message.message, &event)) {
    sink_->Output(event);
  }
}

void AlsaDevice::ScheduleChanged() {
  if (pumped_) {
    pump_.Wake();
  }
}

void AlsaDevice::Start(StreamCore& core) {
  if (pumped_) {
    pump_.Start(core);
  }
}

void AlsaDevice::Shutdown() {
  pump_.Stop();
  // The core sends nothing more; the port connection goes now, not when the core is reaped.
  sink_.reset();
}

}  // namespace quirelle::stream
