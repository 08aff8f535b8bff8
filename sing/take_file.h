// A recorded take read from an audio file (anything libsndfile reads: WAV, FLAC, Ogg, MP3), its
// channels mixed to mono at the file's own rate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quirelle::sing {

struct Take {
  std::vector<float> samples;  // mono, -1 to 1
  std::uint32_t sampleRate = 0;
};

struct TakeResult {
  Take take;
  std::string error;  // why the file is not a take; empty when it is
};

// Reads at most `longestSeconds` of the file (the rest is never judged).
TakeResult ReadTake(const std::string& path, double longestSeconds);

}  // namespace quirelle::sing
