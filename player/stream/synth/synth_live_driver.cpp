// The live synthesizer driver: each open starts an audio output over the kept synthesizer, once
// the last stream's tail has ended.
#include <sys/resource.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "player/stream/stream_opener.h"
#include "player/stream/synth/kept_synth.h"
#include "player/stream/synth/synth_driver.h"
#include "player/stream/synth/synth_live_device.h"
#include "player/stream/synth/synth_setup.h"

namespace quirelle::stream {
namespace {

constexpr int kPreparingNice = 10;

class LiveSynthDriver final : public SynthDriver {
 public:
  explicit LiveSynthDriver(SynthOptions options) : options_(std::move(options)) {}
  ~LiveSynthDriver() override { WaitUntilPrepared(); }

  void PrepareInBackground() override {
    std::lock_guard lock(preparingMutex_);
    if (preparing_.joinable()) {
      return;
    }
    preparing_ = std::thread([this] {
      // Below the window's thread, which starts meanwhile: on a busy machine the window is
      // painted and answers first. (A Play waits for this load either way.)
      ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kPreparingNice);
      FluidSetup setup;
      SynthOpenFailure failure;
      // A failure is not lost: the first open tries again and reports it.
      if (MakeFluidSetup(options_, &setup, &failure)) {
        synth_.Prepare(setup, &failure);
      }
    });
  }

  void WaitUntilPrepared() override {
    std::lock_guard lock(preparingMutex_);
    if (preparing_.joinable()) {
      preparing_.join();
    }
  }

  MMRESULT midiStreamOpen(HMIDISTRM* stream, std::uint32_t* deviceId, std::uint32_t cMidi,
                          MidiStreamCallback callback, std::uintptr_t instance,
                          std::uint32_t flags) override {
    return opener_.Open({stream, deviceId, cMidi, callback, instance, flags},
                        [this](OpenFailure* failure) -> std::unique_ptr<StreamDevice> {
                          FluidSetup setup;
                          if (!MakeFluidSetup(options_, &setup, failure)) {
                            return nullptr;
                          }
                          // The last song's release rings on until this stream starts (the
                          // window reloads a song at its end); meanwhile the stream gets a
                          // synthesizer of its own.
                          std::unique_ptr<FluidLease> lease = synth_.Lease(setup, failure);
                          if (!lease) {
                            return nullptr;
                          }
                          return LiveSynthDevice::Open(std::move(lease), setup, tails_, failure);
                        });
  }

  std::string LastErrorText() const override { return opener_.reason(); }

  std::string LastErrorDetail() const override { return opener_.detail(); }

 private:
  const SynthOptions options_;
  KeptSynth synth_;
  std::mutex preparingMutex_;  // guards preparing_
  std::thread preparing_;
  LiveTails tails_;      // after the synthesizer: tails end before it goes
  StreamOpener opener_;  // last: its streams end before the rest goes
};

}  // namespace

std::unique_ptr<SynthDriver> MakeLiveSynthDriver(const SynthOptions& options) {
  return std::make_unique<LiveSynthDriver>(options);
}

}  // namespace quirelle::stream
