// The live synthesizer driver: each open starts an audio output over the kept synthesizer.
#include <memory>
#include <mutex>
#include <utility>

#include "player/stream/kept_synth.h"
#include "player/stream/stream_core.h"
#include "player/stream/synth_driver.h"
#include "player/stream/synth_live_device.h"
#include "player/stream/synth_setup.h"

namespace quirelle::stream {
namespace {

class LiveSynthDriver final : public SynthDriver {
 public:
  explicit LiveSynthDriver(SynthOptions options) : options_(std::move(options)) {}

  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override {
    if (const MMRESULT bad = CheckOpenArguments(stream, deviceId, cMidi, callback, flags)) {
      return Fail({bad, "the stream cannot be opened with these arguments", {}});
    }
    FluidSetup setup;
    SynthOpenFailure failure;
    if (!MakeFluidSetup(options_, &setup, &failure)) {
      return Fail(std::move(failure));
    }
    keeper_.Reap();
    std::unique_ptr<FluidLease> lease = synth_.Lease(setup, &failure);
    if (!lease) {
      return Fail(std::move(failure));
    }
    std::unique_ptr<LiveSynthDevice> device =
        LiveSynthDevice::Open(std::move(lease), setup, &failure);
    if (!device) {
      return Fail(std::move(failure));
    }
    keeper_.Open(std::move(device), callback, instance, stream);
    Fail({});
    return MMSYSERR_NOERROR;
  }

  std::string LastErrorText() const override { return failure_.reason(); }

  std::string LastErrorDetail() const override { return failure_.detail(); }

 private:
  MMRESULT Fail(OpenFailure failure) { return failure_.Set(std::move(failure)); }

  const SynthOptions options_;
  LastOpenFailure failure_;
  KeptSynth synth_;
  StreamKeeper keeper_;  // last: its streams end before the rest goes
};

}  // namespace

std::unique_ptr<SynthDriver> MakeLiveSynthDriver(const SynthOptions& options) {
  return std::make_unique<LiveSynthDriver>(options);
}

}  // namespace quirelle::stream
