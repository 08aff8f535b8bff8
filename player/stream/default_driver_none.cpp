// The default device of a build without sound devices: every open fails and says why.
#include <memory>
#include <string>

#include "player/stream/midi_stream.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {
namespace {

class NoSoundDriver final : public StreamDriver {
 public:
  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t /*instance*/,
                          std::uint32_t flags) override {
    if (const MMRESULT bad = CheckOpenArguments(stream, deviceId, cMidi, callback, flags)) {
      return bad;
    }
    return MMSYSERR_NODRIVER;
  }

  std::string LastErrorText() const override {
    return "this build of the player has no sound output";
  }
};

}  // namespace

std::unique_ptr<StreamDriver> MakeDefaultDriver() {
  return std::make_unique<NoSoundDriver>();
}

}  // namespace quirelle::stream
