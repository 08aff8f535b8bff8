// A stream driver whose device never opens: the engine then keeps the loaded song without a
// device, so its builder can be run by hand.
#pragma once

#include <string>

#include "player/stream/midi_stream.h"

namespace quirelle::testing {

class RefusingDriver final : public stream::StreamDriver {
 public:
  stream::MMRESULT midiStreamOpen(stream::HMIDISTRM*, std::uint32_t*, std::uint32_t,
                                  stream::MidiStreamCallback, std::uintptr_t,
                                  std::uint32_t) override {
    return stream::MMSYSERR_NODRIVER;
  }
  std::string LastErrorText() const override { return "no device, on purpose"; }
};

}  // namespace quirelle::testing
