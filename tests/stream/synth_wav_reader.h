// Reads back the WAV files the offline synthesizer wrote, as 16-bit samples.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quirelle::stream::testing {

struct WavContents {
  bool ok = false;
  int sampleRate = 0;
  int channels = 0;
  int format = 0;
  std::vector<std::int16_t> samples;  // interleaved
  std::uint64_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

inline WavContents ReadWav(const std::string& path) {
  WavContents wav;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    return wav;
  }
  wav.sampleRate = info.samplerate;
  wav.channels = info.channels;
  wav.format = info.format;
  wav.samples.resize(static_cast<std::size_t>(info.frames) *
                     static_cast<std::size_t>(info.channels));
  const sf_count_t read = sf_readf_short(file, wav.samples.data(), info.frames);
  wav.ok = read == info.frames;
  sf_close(file);
  return wav;
}

}  // namespace quirelle::stream::testing
