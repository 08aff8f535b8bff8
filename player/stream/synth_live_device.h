// The live synthesizer device: a FluidSynth synthesizer played by an audio driver's thread. Its
// clock is the sample index of the audio rendered; the audio thread pulls the events due at each
// grid point from the stream core and never waits for the callback thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "player/stream/fluid_handles.h"
#include "player/stream/fluid_renderer.h"
#include "player/stream/stream_core.h"
#include "player/stream/synth_block_scheduler.h"
#include "player/stream/synth_setup.h"

namespace quirelle::stream {

class LiveSynthDevice final : public StreamDevice, private SynthEventSource {
 public:
  // Makes the synthesizer and starts the audio output, which renders silence until the stream
  // core is attached. Null on failure, with *failure filled in.
  static std::unique_ptr<LiveSynthDevice> Open(const FluidSetup& setup, SynthOpenFailure* failure);
  explicit LiveSynthDevice(std::uint32_t sampleRate);  // use Open()
  ~LiveSynthDevice() override;

  std::uint64_t UnitsPerSecond() const override { return sampleRate_; }
  std::uint64_t Now() const override { return scheduler_->Position(); }
  void Send(const SentMessage& message) override { renderer_->Apply(message.message); }
  void Start(StreamCore& core) override;
  void Shutdown() override;

  const std::string& audioSystem() const { return audioSystem_; }

 private:
  static int AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
  void PlayBefore(std::uint64_t limit) override;

  std::uint32_t sampleRate_;
  FluidSynthInstance fluid_;
  std::unique_ptr<FluidRenderer> renderer_;
  std::unique_ptr<SynthBlockScheduler> scheduler_;
  std::mutex coreMutex_;  // guards core_ against Start / Shutdown while the audio thread pulls
  StreamCore* core_ = nullptr;
  std::string audioSystem_;
  FluidAudioDriverPtr audio_;  // last member: its thread ends before anything it uses goes
};

}  // namespace quirelle::stream
