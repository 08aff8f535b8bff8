// Test doubles for the synthesizer devices: a renderer that records the sample at which each
// message took effect, and an audio sink that counts frames.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "player/stream/synth/synth_audio_sink.h"
#include "player/stream/synth/synth_renderer.h"

namespace quirelle::stream::testing {

struct AppliedMessage {
  std::uint64_t sample = 0;  // frames rendered before it took effect
  std::uint32_t message = 0;
};

class RecordingRenderer final : public SynthRenderer {
 public:
  explicit RecordingRenderer(std::uint32_t quantum) : quantum_(quantum) {}

  void Apply(std::uint32_t message) override {
    std::lock_guard lock(mutex_);
    applied_.push_back({position_.load(), message});
  }
  void Render(float* left, float* right, std::uint32_t frames) override {
    // Pieces never cross a grid point, or a message could not take effect at it.
    const std::uint64_t start = position_.load();
    if (start / quantum_ != (start + frames - 1) / quantum_) {
      crossed_.store(true);
    }
    for (std::uint32_t i = 0; i < frames; ++i) {
      left[i] = 0.25f;
      right[i] = -0.25f;
    }
    position_.fetch_add(frames);
  }
  std::uint32_t Quantum() const override { return quantum_; }

  std::vector<AppliedMessage> Applied() const {
    std::lock_guard lock(mutex_);
    return applied_;
  }
  std::uint64_t position() const { return position_.load(); }
  bool crossedGridPoint() const { return crossed_.load(); }

 private:
  const std::uint32_t quantum_;
  std::atomic<std::uint64_t> position_{0};
  std::atomic<bool> crossed_{false};
  mutable std::mutex mutex_;
  std::vector<AppliedMessage> applied_;
};

class CountingSink final : public SynthAudioSink {
 public:
  bool Write(const float* left, const float* /*right*/, std::uint32_t frames) override {
    frames_.fetch_add(frames);
    if (frames > 0 && left[0] != 0.25f) {
      wrongSamples_.store(true);
    }
    return !failing_.load();
  }
  void Fail() { failing_.store(true); }
  std::uint64_t frames() const { return frames_.load(); }
  bool wrongSamples() const { return wrongSamples_.load(); }

 private:
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<bool> failing_{false};
  std::atomic<bool> wrongSamples_{false};
};

}  // namespace quirelle::stream::testing
