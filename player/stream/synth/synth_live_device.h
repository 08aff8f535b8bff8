// The live synthesizer device: a synthesizer played by an audio driver's thread. Its clock is the
// sample index of the audio rendered; the audio thread pulls the events due at each grid point
// from the stream core and never waits for the callback thread. Open() makes it over FluidSynth
// and an audio output; over another renderer the caller's thread plays the audio thread's part
// by calling RenderAudio.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "player/stream/stream_core.h"
#include "player/stream/synth/kept_synth.h"
#include "player/stream/synth/synth_block_scheduler.h"
#include "player/stream/synth/synth_renderer.h"
#include "player/stream/synth/synth_setup.h"

namespace quirelle::stream {

class LiveSynthDevice final : public StreamDevice, private SynthEventSource {
 public:
  // Starts an audio output over the leased synthesizer, which renders silence until the stream
  // core is attached; the lease goes back once the output has stopped. Null on failure, with
  // *failure filled in.
  static std::unique_ptr<LiveSynthDevice> Open(std::unique_ptr<FluidLease> lease,
                                               const FluidSetup& setup, SynthOpenFailure* failure);
  // Over `renderer` (not owned), with no audio output of its own.
  LiveSynthDevice(SynthRenderer& renderer, std::uint32_t sampleRate);
  ~LiveSynthDevice() override;

  std::uint64_t UnitsPerSecond() const override { return sampleRate_; }
  std::uint64_t Now() const override { return scheduler_.Position(); }
  void Send(const SentMessage& message) override { renderer_.Apply(message.message); }
  void Start(StreamCore& core) override;
  void Shutdown() override;

  // The audio thread's work for one block: renders it with the events due in it.
  void RenderAudio(float* left, float* right, std::uint32_t frames);
  const std::string& audioSystem() const { return audioSystem_; }

 private:
  struct Backend;  // FluidSynth and its audio driver, when Open made them
  static int AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
  void PlayBefore(std::uint64_t limit) override;
  void StopAudio();

  std::unique_ptr<Backend> backend_;  // first member: it goes last
  SynthRenderer& renderer_;
  const std::uint32_t sampleRate_;
  SynthBlockScheduler scheduler_;
  std::mutex coreMutex_;  // guards core_ against Start / Shutdown while the audio thread pulls
  StreamCore* core_ = nullptr;
  std::string audioSystem_;
};

}  // namespace quirelle::stream
