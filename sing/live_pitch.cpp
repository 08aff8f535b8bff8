// The microphone's pitch, dated as it was sung.
#include "sing/live_pitch.h"

#include <utility>

namespace quirelle::sing {

LivePitch::LivePitch(std::string source) : mic_(std::move(source), kSampleRate) {}

LivePitch::~LivePitch() {
  Stop();
}

void LivePitch::Start() {
  Stop();
  // The tracker starts afresh: the capture thread is not running now.
  tracker_ = std::make_unique<PitchTracker>(kSampleRate);
  fed_ = 0;
  mic_.Start([this](std::span<const float> samples) { Heard(samples); });
}

void LivePitch::Stop() {
  mic_.Stop();
}

void LivePitch::Heard(std::span<const float> samples) {
  const auto now = std::chrono::steady_clock::now();
  // The newest sample was sung the capture latency ago.
  const auto newest = now - std::chrono::microseconds(mic_.latencyMicros());
  frames_.clear();
  tracker_->Feed(samples, frames_);
  fed_ += samples.size();
  const double fedSeconds = static_cast<double>(fed_) / kSampleRate;
  for (const PitchFrame& frame : frames_) {
    const auto before = std::chrono::duration<double>(fedSeconds - frame.seconds);
    Push({newest - std::chrono::duration_cast<std::chrono::steady_clock::duration>(before),
          frame.key});
  }
}

void LivePitch::Push(const DatedPitch& pitch) {
  const std::size_t written = written_.load(std::memory_order_relaxed);
  if (written - read_.load(std::memory_order_acquire) >= kSlots) {
    return;  // the owner has not come for a long while: the oldest stay, this one goes
  }
  slots_[written % kSlots] = pitch;
  written_.store(written + 1, std::memory_order_release);
}

std::vector<DatedPitch> LivePitch::Take() {
  const std::size_t written = written_.load(std::memory_order_acquire);
  std::size_t read = read_.load(std::memory_order_relaxed);
  std::vector<DatedPitch> taken;
  taken.reserve(written - read);
  for (; read != written; ++read) {
    taken.push_back(slots_[read % kSlots]);
  }
  read_.store(read, std::memory_order_release);
  return taken;
}

}  // namespace quirelle::sing
