// The ALSA driver: opens a sequencer output per stream.
#include "player/stream/alsa_driver.h"

#include <mutex>
#include <utility>

#include "player/stream/alsa_device.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {
namespace {

class Driver final : public AlsaDriver {
 public:
  Driver(AlsaSinkFactory factory, const platform::Clock& clock)
      : factory_(std::move(factory)), clock_(clock) {}

  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override {
    if (const MMRESULT bad = CheckOpenArguments(stream, deviceId, cMidi, callback, flags)) {
      return Fail({bad, "the stream cannot be opened with these arguments", {}});
    }
    AlsaOpenFailure failure;
    std::unique_ptr<AlsaEventSink> sink = factory_(&failure);
    if (!sink) {
      return Fail(std::move(failure));
    }
    keeper_.Reap();
    keeper_.Open(std::make_unique<AlsaDevice>(std::move(sink), clock_), callback, instance, stream);
    Fail({});
    return MMSYSERR_NOERROR;
  }

  std::string LastErrorText() const override { return failure_.reason(); }

  std::string LastErrorDetail() const override { return failure_.detail(); }

 private:
  MMRESULT Fail(OpenFailure failure) { return failure_.Set(std::move(failure)); }

  const AlsaSinkFactory factory_;
  const platform::Clock& clock_;
  LastOpenFailure failure_;
  StreamKeeper keeper_;  // last: its streams end before the rest goes
};

}  // namespace

std::unique_ptr<AlsaDriver> MakeAlsaDriver(const AlsaOptions& options) {
  AlsaSinkFactory factory = [port = options.port](AlsaOpenFailure* failure) {
    return std::unique_ptr<AlsaEventSink>(AlsaSeqOutput::Open(port, failure));
  };
  return MakeAlsaDriver(std::move(factory), platform::SteadyClock::Instance());
}

std::unique_ptr<AlsaDriver> MakeAlsaDriver(AlsaSinkFactory factory, const platform::Clock& clock) {
  return std::make_unique<Driver>(std::move(factory), clock);
}

}  // namespace quirelle::stream
