// The ALSA sequencer as a stream device: each open makes a sequencer client connected to the
// first synthesizer port (or the port named in the options). A failed open leaves a reason:
// "no ALSA sequencer", "no ALSA synthesizer port", ...
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "player/stream/alsa/alsa_output.h"
#include "player/stream/midi_stream.h"

namespace quirelle::stream {

struct AlsaOptions {
  // Empty: the first synthesizer port. Else "client:port", a client number, or part of
  // "client name:port name" (case ignored), e.g. "FLUID Synth" or "128:0".
  std::string port;
};

class AlsaDriver : public StreamDriver {
 public:
  // What libasound said during the last failed open, for a log.
  virtual std::string LastErrorDetail() const = 0;
};

std::unique_ptr<AlsaDriver> MakeAlsaDriver(const AlsaOptions& options);

// Makes each stream's sink; null with *failure filled in when it cannot.
using AlsaSinkFactory = std::function<std::unique_ptr<AlsaEventSink>(AlsaOpenFailure* failure)>;
// The driver over other sinks and another clock. With a clock that is not real nothing plays by
// itself: the caller plays what is due through the stream's core.
std::unique_ptr<AlsaDriver> MakeAlsaDriver(AlsaSinkFactory factory, const platform::Clock& clock);

}  // namespace quirelle::stream
