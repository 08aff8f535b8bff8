// The ALSA driver: opens a sequencer output per stream.
#include "player/stream/alsa/alsa_driver.h"

#include <mutex>
#include <utility>

#include "player/stream/alsa/alsa_device.h"
#include "player/stream/stream_opener.h"

namespace quirelle::stream {
namespace {

class Driver final : public AlsaDriver {
 public:
  Driver(AlsaSinkFactory factory, const platform::Clock& clock)
      : factory_(std::move(factory)), clock_(clock) {}

  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override {
    return opener_.Open({stream, deviceId, cMidi, callback, instance, flags},
                        [this](OpenFailure* failure) -> std::unique_ptr<StreamDevice> {
                          std::unique_ptr<AlsaEventSink> sink = factory_(failure);
                          if (!sink) {
                            return nullptr;
                          }
                          return std::make_unique<AlsaDevice>(std::move(sink), clock_);
                        });
  }

  std::string LastErrorText() const override { return opener_.reason(); }

  std::string LastErrorDetail() const override { return opener_.detail(); }

 private:
  const AlsaSinkFactory factory_;
  const platform::Clock& clock_;
  StreamOpener opener_;  // last: its streams end before the rest goes
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
