// The singer's pitch as they sing: the microphone tracked on its capture thread, each frame dated
// on the steady clock at the moment it was sung (PulseAudio's capture latency taken off), and
// handed to the owner's thread through a bounded queue without a lock. What became of the
// microphone is the capture's state and problem.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sing/mic_capture.h"
#include "sing/pitch_tracker.h"

namespace quirelle::sing {

struct DatedPitch {
  std::chrono::steady_clock::time_point sungAt;
  float key = 0;  // 0: not voiced
};

class LivePitch {
 public:
  static constexpr std::uint32_t kSampleRate = 48000;

  // `source`: a PulseAudio source name, empty for the default microphone.
  explicit LivePitch(std::string source = {});
  ~LivePitch();  // stops
  LivePitch(const LivePitch&) = delete;
  LivePitch& operator=(const LivePitch&) = delete;

  // Opens the microphone on a thread of its own; what comes of it is told by state().
  void Start();
  void Stop();
  // The frames sung since the last call, oldest first. Owner's thread only.
  std::vector<DatedPitch> Take();

  MicCapture::State state() const { return mic_.state(); }
  std::string problem() const { return mic_.problem(); }

 private:
  static constexpr std::size_t kSlots = 8192;  // about 40 s of frames: the owner takes them often
  void Heard(std::span<const float> samples);  // the capture thread
  void Push(const DatedPitch& pitch);

  MicCapture mic_;
  // The capture thread's own, between Start and Stop.
  std::unique_ptr<PitchTracker> tracker_;
  std::vector<PitchFrame> frames_;
  std::uint64_t fed_ = 0;  // samples fed to the tracker since Start
  // One writer (the capture thread) and one reader (the owner); a full queue drops frames.
  std::array<DatedPitch, kSlots> slots_{};
  std::atomic<std::size_t> written_{0};
  std::atomic<std::size_t> read_{0};
};

}  // namespace quirelle::sing
