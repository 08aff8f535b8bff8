// The default device (MIDI_MAPPER): the embedded synthesizer when a SoundFont and an audio output
// can be had, else the first ALSA synthesizer port. Each open tries them afresh, so a sound
// server started later is found by the next song.
#include <memory>
#include <mutex>
#include <string>

#include "player/stream/alsa/alsa_driver.h"
#include "player/stream/midi_stream.h"
#include "player/stream/stream_core.h"
#include "player/stream/synth/synth_driver.h"

namespace quirelle::stream {
namespace {

class DefaultDriver final : public StreamDriver {
 public:
  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override {
    if (const MMRESULT bad = CheckOpenArguments(stream, deviceId, cMidi, callback, flags)) {
      SetError("the stream cannot be opened with these arguments");
      return bad;
    }
    if (synth_->midiStreamOpen(stream, deviceId, cMidi, callback, instance, flags) ==
        MMSYSERR_NOERROR) {
      SetError({});
      return MMSYSERR_NOERROR;
    }
    const MMRESULT result =
        alsa_->midiStreamOpen(stream, deviceId, cMidi, callback, instance, flags);
    if (result == MMSYSERR_NOERROR) {
      SetError({});
      return MMSYSERR_NOERROR;
    }
    SetError(synth_->LastErrorText() + "; " + alsa_->LastErrorText());
    return result;
  }

  std::string LastErrorText() const override {
    std::lock_guard lock(mutex_);
    return error_;
  }

  void PrepareInBackground() override { synth_->PrepareInBackground(); }

 private:
  void SetError(std::string error) {
    std::lock_guard lock(mutex_);
    error_ = std::move(error);
  }

  mutable std::mutex mutex_;
  std::string error_;
  std::unique_ptr<SynthDriver> synth_ = MakeLiveSynthDriver(SynthOptions{});
  std::unique_ptr<AlsaDriver> alsa_ = MakeAlsaDriver(AlsaOptions{});
};

}  // namespace

std::unique_ptr<StreamDriver> MakeDefaultDriver() {
  return std::make_unique<DefaultDriver>();
}

}  // namespace quirelle::stream
