// Reads back the audio files the offline synthesizer wrote: as 16-bit samples (the WAV tests) or
// as floats (any format libsndfile reads).
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quirelle::stream::testing {

template <typename Sample>
struct AudioContents {
  bool ok = false;
  int sampleRate = 0;
  int channels = 0;
  int format = 0;
  std::vector<Sample> samples;  // interleaved
  std::uint64_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

using WavContents = AudioContents<std::int16_t>;

inline sf_count_t ReadFrames(SNDFILE* file, std::int16_t* samples, sf_count_t frames) {
  return sf_readf_short(file, samples, frames);
}
inline sf_count_t ReadFrames(SNDFILE* file, float* samples, sf_count_t frames) {
  return sf_readf_float(file, samples, frames);
}

template <typename Sample>
AudioContents<Sample> ReadAudioFile(const std::string& path) {
  AudioContents<Sample> audio;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    return audio;
  }
  audio.sampleRate = info.samplerate;
  audio.channels = info.channels;
  audio.format = info.format;
  audio.samples.resize(static_cast<std::size_t>(info.frames) *
                       static_cast<std::size_t>(info.channels));
  audio.ok = ReadFrames(file, audio.samples.data(), info.frames) == info.frames;
  sf_close(file);
  return audio;
}

inline WavContents ReadWav(const std::string& path) {
  return ReadAudioFile<std::int16_t>(path);
}

}  // namespace quirelle::stream::testing
