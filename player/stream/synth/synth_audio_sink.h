// Where offline rendering puts its audio: an audio file, or a recorder in tests.
#pragma once

#include <cstdint>

namespace quirelle::stream {

class SynthAudioSink {
 public:
  virtual ~SynthAudioSink() = default;
  // Appends `frames` frames of the two channels; false when they could not all be kept.
  virtual bool Write(const float* left, const float* right, std::uint32_t frames) = 0;
};

}  // namespace quirelle::stream
