// Offline rendering: the render thread, the waits for refills, and the release tail.
#include "player/stream/synth/synth_offline_device.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "player/stream/synth/synth_driver.h"

namespace quirelle::stream {
namespace {

// Gives no events: the tail plays out what is already sounding.
class NoEvents final : public SynthEventSource {
 public:
  void PlayBefore(std::uint64_t /*limit*/) override {}
};

float Peak(const float* samples, std::uint32_t count) {
  float peak = 0.0f;
  for (std::uint32_t i = 0; i < count; ++i) {
    peak = std::max(peak, std::fabs(samples[i]));
  }
  return peak;
}

}  // namespace

OfflineRenderContext::OfflineRenderContext(SynthRenderer& renderer, SynthAudioSink& sink,
                                           std::uint32_t sampleRate,
                                           std::function<void(std::uint64_t)> progress,
                                           HeldPanChannels centredPan, SynthStemSink* stems)
    : renderer_(renderer),
      sink_(sink),
      scheduler_(renderer),
      sampleRate_(sampleRate),
      progress_(std::move(progress)),
      centredPan_(centredPan),
      stems_(stems) {}

void OfflineRenderContext::TailStarts() {
  if (stems_ != nullptr) {
    stems_->TailStarts();
  }
}

void OfflineRenderContext::Write(const float* left, const float* right, std::uint32_t frames) {
  if (!WriteFailed() && !sink_.Write(left, right, frames)) {
    writeFailed_.store(true, std::memory_order_release);
  }
  const std::uint64_t total = frames_.fetch_add(frames, std::memory_order_acq_rel) + frames;
  if (progress_ && total - reportedAt_ >= sampleRate_ / 10) {
    reportedAt_ = total;
    progress_(total);
  }
}

void OfflineRenderContext::ReportProgress() {
  reportedAt_ = FramesWritten();
  if (progress_) {
    progress_(reportedAt_);
  }
}

bool OfflineRenderContext::MarkOpen() {
  std::lock_guard lock(mutex_);
  if (open_) {
    return false;
  }
  open_ = true;
  return true;
}

void OfflineRenderContext::MarkClosed() {
  std::lock_guard lock(mutex_);
  open_ = false;
  closed_.notify_all();
}

bool OfflineRenderContext::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void OfflineRenderContext::WaitUntilClosed() {
  std::unique_lock lock(mutex_);
  closed_.wait(lock, [this] { return !open_; });
}

void OfflineRenderContext::SetHeld(bool held) {
  held_.store(held, std::memory_order_release);
  // Under the lock, so that a device going away (it clears the waker first) is never woken.
  std::lock_guard lock(mutex_);
  if (!held && waker_) {
    waker_();
  }
}

void OfflineRenderContext::SetWaker(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  waker_ = std::move(wake);
}

OfflineSynthDevice::OfflineSynthDevice(std::shared_ptr<OfflineRenderContext> context)
    : context_(std::move(context)) {}

OfflineSynthDevice::~OfflineSynthDevice() {
  Shutdown();
}

void OfflineSynthDevice::Start(StreamCore& core) {
  core_ = &core;
  // Whatever an earlier stream on the same synthesizer left there.
  CentreHeldPans(context_->renderer(), context_->centredPan());
  context_->SetWaker([this] { ScheduleChanged(); });
  thread_ = std::thread([this] { Run(); });
}

void OfflineSynthDevice::ScheduleChanged() {
  {
    std::lock_guard lock(mutex_);
    changedFlag_ = true;
  }
  changed_.notify_one();
}

void OfflineSynthDevice::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) {
      return;
    }
    shutDown_ = true;
    closing_.store(true, std::memory_order_release);
  }
  changed_.notify_one();
  context_->SetWaker({});
  if (thread_.joinable()) {
    thread_.join();
  }
  context_->MarkClosed();
}

bool OfflineSynthDevice::WaitForChange() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return changedFlag_ || Closing(); });
  changedFlag_ = false;
  return !Closing();
}

void OfflineSynthDevice::Run() {
  bool rendered = false;
  while (WaitForChange()) {
    // Renders only while the stream plays and has a buffer: a dry stream waits for its refill.
    while (!Closing() && !context_->Held() && core_->IsPlaying() && core_->HasQueuedBuffers()) {
      RenderBlock(*this);
      rendered = true;
    }
  }
  if (rendered) {
    RenderTail();
  }
}

void OfflineSynthDevice::PlayBefore(std::uint64_t limit) {
  while (!Closing()) {
    if (core_->PlayBefore(limit, CallbackPolicy::kStopAtCallback) == PlayOutcome::kReached) {
      return;
    }
    // The callback may refill, stop or close; its messages land at this very sample.
    core_->WaitCallbacksIdle();
  }
}

std::optional<std::uint64_t> OfflineSynthDevice::NextEventSample() {
  // Offline nothing arrives unseen: refills come from callbacks, which PlayBefore waits out.
  if (Closing()) {
    return std::nullopt;
  }
  return core_->NextDueTime();
}

bool OfflineSynthDevice::RenderBlock(SynthEventSource& source) {
  constexpr std::uint32_t kFrames = SynthBlockScheduler::kBlockFrames;
  context_->scheduler().Render(left_, right_, kFrames, source);
  context_->Write(left_, right_, kFrames);
  return Silent(left_, right_, kFrames);
}

bool OfflineSynthDevice::Silent(const float* left, const float* right, std::uint32_t frames) {
  return Peak(left, frames) < kSilenceLevel && Peak(right, frames) < kSilenceLevel;
}

void OfflineSynthDevice::RenderTail() {
  context_->TailStarts();
  NoEvents none;
  // At most the tail's length, rounded up to whole blocks.
  const std::uint64_t limit =
      static_cast<std::uint64_t>(context_->sampleRate()) * kReleaseTailSeconds;
  for (std::uint64_t frames = 0; frames < limit; frames += SynthBlockScheduler::kBlockFrames) {
    // Stems play their whole tail: a silent stem says nothing of the files mixed from it.
    if (RenderBlock(none) && !context_->HasStems()) {
      break;
    }
  }
  context_->ReportProgress();
}

}  // namespace quirelle::stream
