// The sung pitch, frame by frame: aubio's YIN (yinfast) on mono samples, a window of about 43 ms
// (2048 samples at 44.1 and 48 kHz) moved on by an eighth of it (256 samples there). A frame counts
// as voiced only past aubio's two gates: its silence gate (the hop's level) and its confidence.
// Each frame also carries the energy of each pitch class, where a note's start shows even when the
// pitch glides slowly into it.
// Used live on the microphone's samples and offline on a whole take.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quirelle::sing {

// The energy of each pitch class (C = 0 ... B = 11, the octaves summed): a note's start shows as
// its class rising against the others, whatever sounded before it.
using PitchClasses = std::array<float, 12>;

struct PitchFrame {
  double seconds = 0;  // the centre of the frame's window, from the first sample fed
  float key = 0;       // MIDI key with its fraction (C4 = 60); 0 when not voiced
  PitchClasses classes{};
  bool voiced() const { return key > 0; }
};

// Below this level (dBFS) a hop is silence; the live default, as a take's own level is unknown.
inline constexpr float kDefaultSilenceDb = -50.0f;
// aubio's confidence gate: frames it is less sure of are not voiced.
inline constexpr float kLeastConfidence = 0.6f;

class PitchTracker {
 public:
  // `sampleRate` 4000 to 192000; ok() tells whether aubio took it.
  explicit PitchTracker(std::uint32_t sampleRate, float silenceDb = kDefaultSilenceDb);
  ~PitchTracker();
  PitchTracker(const PitchTracker&) = delete;
  PitchTracker& operator=(const PitchTracker&) = delete;

  bool ok() const { return pitch_ != nullptr; }
  const std::string& error() const { return error_; }
  std::uint32_t sampleRate() const { return rate_; }
  std::uint32_t window() const { return window_; }
  std::uint32_t hop() const { return hop_; }
  double hopSeconds() const { return static_cast<double>(hop_) / rate_; }

  // Appends one frame to `frames` for each hop the samples complete.
  void Feed(std::span<const float> samples, std::vector<PitchFrame>& frames);

 private:
  struct Aubio;
  void Track(std::vector<PitchFrame>& frames);

  std::uint32_t rate_;
  std::uint32_t window_;
  std::uint32_t hop_;
  std::unique_ptr<Aubio> pitch_;
  std::vector<float> pending_;  // samples of the hop not yet complete
  std::uint64_t hopsDone_ = 0;
  std::string error_;
};

// A whole take's frames. The silence gate follows the take's own level (a window this far below
// its loud singing is silence), so a quiet recording is heard and other voices bleeding into the
// microphone are not taken for the singer.
inline constexpr float kBelowLoudDb = 16.0f;
std::vector<PitchFrame> TrackTake(std::span<const float> mono, std::uint32_t sampleRate,
                                  double* hopSeconds = nullptr);

}  // namespace quirelle::sing
