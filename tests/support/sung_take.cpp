#include "tests/support/sung_take.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace quirelle::testing {
namespace {

constexpr double kLevel = 0.25;  // the voice's amplitude
constexpr double kVibratoCents = 35;
constexpr double kVibratoHz = 5.5;
constexpr double kRamp = 0.03;  // the envelope's rise and fall

// Adds one note: five harmonics falling off as a sung vowel does, vibrato, a soft envelope.
void AddNote(std::vector<float>& out, const SungNote& note, double lead, int octaves, double gain,
             std::uint32_t rate) {
  const double start = note.start + note.late + lead;
  const double end = note.end + lead;
  const double f0 = 440.0 * std::pow(2.0, (note.key + 12 * octaves - 69 + note.cents / 100) / 12);
  const auto first = static_cast<std::int64_t>(std::max(0.0, start) * rate);
  const auto last =
      std::min(static_cast<std::int64_t>(end * rate), static_cast<std::int64_t>(out.size()));
  double phase = 0;
  for (std::int64_t i = first; i < last; ++i) {
    const double t = static_cast<double>(i) / rate - start;
    const double vibrato = kVibratoCents / 1200 * std::sin(2 * std::numbers::pi * kVibratoHz * t);
    phase += 2 * std::numbers::pi * f0 * std::pow(2.0, vibrato) / rate;
    const double envelope = std::min({1.0, t / kRamp, (end - start - t) / kRamp});
    double sample = 0;
    for (int harmonic = 1; harmonic <= 5; ++harmonic) {
      sample += std::sin(harmonic * phase) / (harmonic * harmonic);
    }
    out[static_cast<std::size_t>(i)] += static_cast<float>(gain * kLevel * envelope * sample);
  }
}

}  // namespace

std::vector<float> SingTake(const std::vector<SungNote>& notes, const TakeRecipe& recipe) {
  double end = 0;
  for (const SungNote& note : notes) {
    end = std::max(end, note.end);
  }
  const double seconds = std::max(0.0, end + recipe.lead + recipe.tail);
  std::vector<float> out(static_cast<std::size_t>(seconds * recipe.rate));
  for (const SungNote& note : notes) {
    if (note.sung) {
      AddNote(out, note, recipe.lead, recipe.octaves, 1.0, recipe.rate);
    }
  }
  const double bleed = std::pow(10.0, recipe.bleedDb / 20);
  for (const SungNote& note : recipe.bleed) {
    AddNote(out, note, recipe.lead, 0, bleed, recipe.rate);
  }
  std::mt19937 random(27);
  std::normal_distribution<double> noise(0.0, kLevel * std::pow(10.0, recipe.noiseDb / 20));
  for (float& sample : out) {
    sample += static_cast<float>(noise(random));
  }
  return out;
}

bool WriteTake(const std::string& path, const std::vector<float>& samples, std::uint32_t rate,
               int channels) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(rate);
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    return false;
  }
  std::vector<float> frames;
  for (const float sample : samples) {
    frames.insert(frames.end(), static_cast<std::size_t>(channels), sample);
  }
  const auto count = static_cast<sf_count_t>(samples.size());
  const bool written = sf_writef_float(file, frames.data(), count) == count;
  return sf_close(file) == 0 && written;
}

}  // namespace quirelle::testing
