// The live synthesizer device: a synthesizer played by an audio driver's thread. Its clock is the
// sample index of the audio rendered; the audio thread pulls the events due at each grid point
// from the stream core and never waits for the callback thread or a lock of this device. Open()
// makes it over FluidSynth and an audio output; over another renderer the caller's thread plays
// the audio thread's part by calling RenderAudio.
//
// Endings: the silence of Pause, Stop and Reset is played after a fade of kFadeMillis (no click)
// when a note is still held; when every note has been let go (the song's end) it only lets the
// releases ring out. At the close the output plays on, with no events, until the release has died
// away (a block under -60 dBFS) or for kLongestTailSeconds at most (then faded), and is stopped by
// the LiveTails the device was opened with. Opening the next stream leaves the tail ringing (the
// window reloads the song at its end); that stream's first start ends it at once (faded).
#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi/vocabulary.h"
#include "player/stream/stream_core.h"
#include "player/stream/synth/kept_synth.h"
#include "player/stream/synth/synth_block_scheduler.h"
#include "player/stream/synth/synth_renderer.h"
#include "player/stream/synth/synth_setup.h"

namespace quirelle::stream {

inline constexpr std::uint32_t kFadeMillis = 5;
inline constexpr std::uint32_t kLongestTailSeconds = 3;
// A block whose samples all stay under this has died away (-60 dBFS).
inline constexpr float kTailSilence = 0.001f;

// What the audio thread plays: the scheduler over the renderer, the stream it pulls from, the
// fade of a silence and the tail after the close. Shared by the device and, after the close, the
// LiveTails that stops it.
class LiveOutput final : private SynthEventSource {
 public:
  LiveOutput(SynthRenderer& renderer, std::uint32_t sampleRate);
  ~LiveOutput() override;

  // The audio thread's work for one block.
  void Render(float* left, float* right, std::uint32_t frames);
  std::uint64_t Position() const { return scheduler_.Position(); }
  // How far the listener trails `now` (a Position() read), when the output holds `buffered`
  // frames ahead of the listener as a block is handed over; the time since then has played.
  std::uint64_t HeardLag(std::uint64_t now, std::uint64_t buffered) const;
  SynthRenderer& renderer() { return renderer_; }

  void Attach(StreamCore* core);  // null: returns once the audio thread no longer uses the core
  // The silence of pause / stop / reset: played after a fade.
  void RequestSilence() { silenceWanted_.store(true, std::memory_order_release); }
  // A message other than the silence was played: a muted output fades back in.
  void WantSound();
  // From now on no events: the tail plays out (faded now, when `now`).
  void EndTail(bool now);
  // The tail has ended and the audio the output still buffered has played.
  bool Done() const { return phase_.load(std::memory_order_acquire) == Phase::kDone; }

  // The audio output and the synthesizer it holds; stopped by Stop(), or when this goes.
  struct Backend {
    std::unique_ptr<FluidLease> lease;
    FluidAudioDriverPtr audio;
  };
  void SetBackend(std::unique_ptr<Backend> backend) { backend_ = std::move(backend); }
  bool HasBackend() const { return backend_ != nullptr; }
  void Stop();  // joins the audio thread, then gives the synthesizer back

 private:
  enum class Phase { kPlaying, kTail, kEndNow, kDone };
  void RenderBlock(float* left, float* right, std::uint32_t frames);
  void PlayBefore(std::uint64_t limit) override;
  void ApplySilence();

  std::unique_ptr<Backend> backend_;  // first member: it goes last
  SynthRenderer& renderer_;
  const std::uint32_t sampleRate_;
  const std::uint32_t fadeFrames_;
  SynthBlockScheduler scheduler_;
  std::atomic<StreamCore*> core_{nullptr};
  std::atomic<bool> pulling_{false};
  std::atomic<bool> silenceWanted_{false};
  std::atomic<bool> soundWanted_{false};
  std::atomic<Phase> phase_{Phase::kPlaying};
  // The audio thread's own.
  float gain_ = 1.0f;
  float step_ = 0.0f;              // per frame: below 0 fading out, above 0 fading in
  bool muted_ = false;             // since a silence, until sound is wanted again
  bool draining_ = false;          // the tail has ended; zeros until the buffered audio played
  std::uint64_t tailFrames_ = 0;   // frames since the close
  std::uint64_t quietFrames_ = 0;  // zeros rendered since the tail ended
  // The last block handed to the output: where it ended and when. The audio thread only tries
  // the lock, and skips a block's note when a reader holds it.
  mutable std::mutex handedMutex_;
  std::uint64_t handedPosition_ = 0;
  std::chrono::steady_clock::time_point handedAt_;
};

// Tails of closed outputs, each stopped once it is done.
class LiveTails {
 public:
  LiveTails() = default;
  ~LiveTails();  // EndAll()
  LiveTails(const LiveTails&) = delete;
  LiveTails& operator=(const LiveTails&) = delete;

  void Keep(std::shared_ptr<LiveOutput> output);
  // Fades every tail out now and returns once all have stopped (their synthesizers are free).
  void EndAll();

 private:
  void Watch();  // the watching thread: stops tails as they finish

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<LiveOutput>> tails_;
  int stopping_ = 0;  // tails taken out, being stopped
  bool quit_ = false;
  std::thread watcher_;
};

class LiveSynthDevice final : public StreamDevice {
 public:
  // Starts an audio output over the leased synthesizer, which renders silence until the stream
  // core is attached; at the close `tails` takes the output over. Null on failure, with
  // *failure filled in.
  static std::unique_ptr<LiveSynthDevice> Open(std::unique_ptr<FluidLease> lease,
                                               const FluidSetup& setup, LiveTails& tails,
                                               SynthOpenFailure* failure);
  // Over `renderer` (not owned), with no audio output of its own.
  LiveSynthDevice(SynthRenderer& renderer, std::uint32_t sampleRate);
  ~LiveSynthDevice() override;

  std::uint64_t UnitsPerSecond() const override { return sampleRate_; }
  std::uint64_t Now() const override { return output_->Position(); }
  std::uint64_t HeardLag(std::uint64_t now) const override {
    return output_->HeardLag(now, bufferedFrames_);
  }
  void Send(const SentMessage& message) override;
  // Before the first restart (Play): the last stream's release gives way to this one.
  MMRESULT Admit(StreamOperation operation) override;
  void Start(StreamCore& core) override { output_->Attach(&core); }
  void Shutdown() override;

  // The audio thread's work for one block: renders it with the events due in it.
  void RenderAudio(float* left, float* right, std::uint32_t frames) {
    output_->Render(left, right, frames);
  }
  const std::string& audioSystem() const { return audioSystem_; }
  // Empty when the output's threads run in real time, else why they do not.
  const std::string& notRealtime() const { return notRealtime_; }

 private:
  static int AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
  void KeepHeldNotes(std::uint32_t word);
  bool AnyNoteHeld() const;

  const std::uint32_t sampleRate_;
  std::uint64_t bufferedFrames_ = 0;  // what the audio output holds ahead of the listener
  std::shared_ptr<LiveOutput> output_;
  LiveTails* tails_ = nullptr;
  // The keys sounding on each channel, from the messages played (Send is serialised by the core).
  std::array<std::bitset<128>, midi::kChannels> held_{};
  std::atomic<bool> shutDown_{false};
  std::atomic<bool> started_{false};  // restarted once: the tails before it are ended
  std::string audioSystem_;
  std::string notRealtime_;
};

}  // namespace quirelle::stream
