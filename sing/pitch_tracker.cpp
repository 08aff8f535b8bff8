#include "sing/pitch_tracker.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "midi/vocabulary.h"

namespace quirelle::sing {
namespace {

// YIN computed through the FFT. aubio's yinfft, its default, cannot serve: in aubio 0.4.9 its
// confidence is 0 for every period longer than 35 samples (all of singing), and on low voices it
// takes the fifth harmonic for the note.
constexpr const char* kMethod = "yinfast";
constexpr double kWindowSeconds = 0.040;  // at least two periods of a low bass note
constexpr std::uint32_t kHopsPerWindow = 8;
constexpr float kLowestKey = 24;    // C1: lower is rumble, not singing
constexpr float kHighestKey = 108;  // C8

std::uint32_t WindowFor(std::uint32_t rate) {
  std::uint32_t window = 256;
  while (window < kWindowSeconds * rate) {
    window *= 2;
  }
  return window;
}

struct PitchDeleter {
  void operator()(aubio_pitch_t* pitch) const { del_aubio_pitch(pitch); }
};
struct VectorDeleter {
  void operator()(fvec_t* vector) const { del_fvec(vector); }
};
struct PhaseVocoderDeleter {
  void operator()(aubio_pvoc_t* pvoc) const { del_aubio_pvoc(pvoc); }
};
struct SpectrumDeleter {
  void operator()(cvec_t* spectrum) const { del_cvec(spectrum); }
};

// The pitch classes are summed over the singing's fundamentals and first harmonics; below is
// rumble, above mostly breath and consonants.
constexpr double kLowestClassHz = 55;
constexpr double kHighestClassHz = 2500;

// The level of a hop as aubio's silence gate measures it: the mean square, in dB.
float LevelDb(std::span<const float> samples) {
  double energy = 0;
  for (const float sample : samples) {
    energy += static_cast<double>(sample) * sample;
  }
  return static_cast<float>(10.0 * std::log10(std::max(energy / samples.size(), 1e-12)));
}

}  // namespace

struct PitchTracker::Aubio {
  std::unique_ptr<aubio_pitch_t, PitchDeleter> pitch;
  std::unique_ptr<fvec_t, VectorDeleter> in;
  std::unique_ptr<fvec_t, VectorDeleter> out;
  std::unique_ptr<aubio_pvoc_t, PhaseVocoderDeleter> pvoc;
  std::unique_ptr<cvec_t, SpectrumDeleter> spectrum;
  std::vector<std::int8_t> binClass;  // each spectrum bin's pitch class; -1 outside the range
};

PitchTracker::PitchTracker(std::uint32_t sampleRate, float silenceDb)
    : rate_(sampleRate), window_(WindowFor(sampleRate)), hop_(window_ / kHopsPerWindow) {
  if (sampleRate < 4000 || sampleRate > 192000) {
    error_ = "the pitch tracker takes sample rates of 4000 to 192000 Hz, not " +
             std::to_string(sampleRate);
    return;
  }
  auto aubio = std::make_unique<Aubio>();
  aubio->pitch.reset(new_aubio_pitch(kMethod, window_, hop_, rate_));
  aubio->in.reset(new_fvec(hop_));
  aubio->out.reset(new_fvec(1));
  aubio->pvoc.reset(new_aubio_pvoc(window_, hop_));
  aubio->spectrum.reset(new_cvec(window_));
  aubio->binClass.assign(window_ / 2 + 1, -1);
  for (std::uint32_t bin = 1; bin < aubio->binClass.size(); ++bin) {
    const double hz = static_cast<double>(bin) * rate_ / window_;
    if (hz >= kLowestClassHz && hz <= kHighestClassHz) {
      const long key = std::lround(69 + 12 * std::log2(hz / 440.0));
      aubio->binClass[bin] = static_cast<std::int8_t>(midi::PitchClass(static_cast<int>(key)));
    }
  }
  if (!aubio->pitch || !aubio->in || !aubio->out || !aubio->pvoc || !aubio->spectrum) {
    error_ = "aubio cannot track pitch at " + std::to_string(rate_) + " Hz";
    return;
  }
  aubio_pitch_set_unit(aubio->pitch.get(), "midi");
  aubio_pitch_set_silence(aubio->pitch.get(), silenceDb);
  pitch_ = std::move(aubio);
  pending_.reserve(hop_);
}

PitchTracker::~PitchTracker() = default;

void PitchTracker::Feed(std::span<const float> samples, std::vector<PitchFrame>& frames) {
  if (!ok()) {
    return;
  }
  while (!samples.empty()) {
    const std::size_t taken = std::min<std::size_t>(hop_ - pending_.size(), samples.size());
    pending_.insert(pending_.end(), samples.begin(), samples.begin() + taken);
    samples = samples.subspan(taken);
    if (pending_.size() == hop_) {
      Track(frames);
      pending_.clear();
    }
  }
}

void PitchTracker::Track(std::vector<PitchFrame>& frames) {
  std::memcpy(pitch_->in->data, pending_.data(), hop_ * sizeof(float));
  aubio_pvoc_do(pitch_->pvoc.get(), pitch_->in.get(), pitch_->spectrum.get());
  aubio_pitch_do(pitch_->pitch.get(), pitch_->in.get(), pitch_->out.get());
  PitchFrame frame;
  ++hopsDone_;
  // aubio's window ends with the hop just fed.
  frame.seconds = (static_cast<double>(hopsDone_ * hop_) - window_ / 2.0) / rate_;
  for (std::uint32_t bin = 0; bin < pitch_->spectrum->length; ++bin) {
    if (const std::int8_t pitchClass = pitch_->binClass[bin]; pitchClass >= 0) {
      const float magnitude = pitch_->spectrum->norm[bin];
      frame.classes[static_cast<std::size_t>(pitchClass)] += magnitude * magnitude;
    }
  }
  const float key = pitch_->out->data[0];
  const float confidence = aubio_pitch_get_confidence(pitch_->pitch.get());
  if (key >= kLowestKey && key <= kHighestKey && confidence >= kLeastConfidence) {
    frame.key = key;
  }
  frames.push_back(frame);
}

std::vector<PitchFrame> TrackTake(std::span<const float> mono, std::uint32_t sampleRate,
                                  double* hopSeconds) {
  // The take's loud singing: the hop level most of the sounding hops stay below.
  const std::uint32_t hop = WindowFor(sampleRate) / kHopsPerWindow;
  std::vector<float> levels;
  for (std::size_t at = 0; at + hop <= mono.size(); at += hop) {
    if (const float level = LevelDb(mono.subspan(at, hop)); level > -60.0f) {
      levels.push_back(level);
    }
  }
  float silence = -60.0f;
  if (!levels.empty()) {
    const auto loud = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() * 9 / 10);
    std::nth_element(levels.begin(), loud, levels.end());
    silence = std::max(silence, *loud - kBelowLoudDb);
  }
  PitchTracker tracker(sampleRate, silence);
  if (hopSeconds != nullptr) {
    *hopSeconds = tracker.hopSeconds();
  }
  std::vector<PitchFrame> frames;
  frames.reserve(mono.size() / hop + 1);
  tracker.Feed(mono, frames);
  return frames;
}

}  // namespace quirelle::sing
