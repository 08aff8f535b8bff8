// The offline synthesizer device: renders a stream into an audio sink as fast as the synthesizer
// goes, on a thread of its own. Its clock is the sample index of the audio rendered, and it never
// moves past a callback before the callback thread is idle again, so refills are always in time
// and the samples depend only on the stream's content.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "player/stream/stream_core.h"
#include "player/stream/synth/pan_hold.h"
#include "player/stream/synth/synth_audio_sink.h"
#include "player/stream/synth/synth_block_scheduler.h"
#include "player/stream/synth/synth_renderer.h"

namespace quirelle::stream {

// What offline streams render with, one stream after another; the driver keeps it.
class OfflineRenderContext {
 public:
  OfflineRenderContext(SynthRenderer& renderer, SynthAudioSink& sink, std::uint32_t sampleRate,
                       std::function<void(std::uint64_t)> progress, HeldPanChannels centredPan = {},
                       SynthStemSink* stems = nullptr);

  SynthRenderer& renderer() { return renderer_; }
  SynthBlockScheduler& scheduler() { return scheduler_; }
  std::uint32_t sampleRate() const { return sampleRate_; }
  const HeldPanChannels& centredPan() const { return centredPan_; }
  // Tells the stem sink, if any, that the release tail follows.
  void TailStarts();
  bool HasStems() const { return stems_ != nullptr; }

  // Writes a rendered block and reports progress. After a failed write nothing more is written.
  void Write(const float* left, const float* right, std::uint32_t frames);
  void ReportProgress();
  std::uint64_t FramesWritten() const { return frames_.load(std::memory_order_acquire); }
  bool WriteFailed() const { return writeFailed_.load(std::memory_order_acquire); }

  // A stream is open on the context from MarkOpen() until its device has shut down.
  bool MarkOpen();  // false if one already is
  void MarkClosed();
  bool IsOpen() const;
  void WaitUntilClosed();

  // While held, streams render nothing and their clock stands; letting go wakes the open one.
  void SetHeld(bool held);
  bool Held() const { return held_.load(std::memory_order_acquire); }
  // How the open stream's device is woken; empty when none is open.
  void SetWaker(std::function<void()> wake);

 private:
  SynthRenderer& renderer_;
  SynthAudioSink& sink_;
  SynthBlockScheduler scheduler_;
  const std::uint32_t sampleRate_;
  std::function<void(std::uint64_t)> progress_;
  const HeldPanChannels centredPan_;
  SynthStemSink* const stems_;
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<bool> writeFailed_{false};
  std::uint64_t reportedAt_ = 0;  // rendering thread only

  std::atomic<bool> held_{false};

  mutable std::mutex mutex_;
  std::condition_variable closed_;
  bool open_ = false;
  std::function<void()> waker_;
};

class OfflineSynthDevice final : public StreamDevice, private SynthEventSource {
 public:
  explicit OfflineSynthDevice(std::shared_ptr<OfflineRenderContext> context);
  ~OfflineSynthDevice() override;  // Shutdown()

  std::uint64_t UnitsPerSecond() const override { return context_->sampleRate(); }
  std::uint64_t Now() const override { return context_->scheduler().Position(); }
  void Send(const SentMessage& message) override {
    context_->renderer().Apply(WithPanHeld(message.message, context_->centredPan()));
  }
  void ScheduleChanged() override;
  void Start(StreamCore& core) override;
  void Shutdown() override;

  // A block under this on both channels is silence once written in 16 bits.
  static constexpr float kSilenceLevel = 0.5f / 32767.0f;
  static bool Silent(const float* left, const float* right, std::uint32_t frames);

 private:
  void Run();
  bool WaitForChange();  // false once closing
  bool Closing() const { return closing_.load(std::memory_order_acquire); }
  bool RenderBlock(SynthEventSource& source);  // true when the block was silent
  void RenderTail();
  void PlayBefore(std::uint64_t limit) override;
  std::optional<std::uint64_t> NextEventSample() override;

  std::shared_ptr<OfflineRenderContext> context_;
  StreamCore* core_ = nullptr;  // set by Start before the thread runs
  std::mutex mutex_;
  std::condition_variable changed_;
  bool changedFlag_ = true;
  std::atomic<bool> closing_{false};
  bool shutDown_ = false;  // Shutdown has run (guarded by mutex_)
  float left_[SynthBlockScheduler::kBlockFrames] = {};
  float right_[SynthBlockScheduler::kBlockFrames] = {};
  std::thread thread_;
};

}  // namespace quirelle::stream
