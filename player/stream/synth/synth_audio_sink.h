// Where offline rendering puts its audio: an audio file, or a recorder in tests; and, for a
// synthesizer with several outputs, where each output goes.
#pragma once

#include <cstdint>

namespace quirelle::stream {

class SynthAudioSink {
 public:
  virtual ~SynthAudioSink() = default;
  // Appends `frames` frames of the two channels; false when they could not all be kept.
  virtual bool Write(const float* left, const float* right, std::uint32_t frames) = 0;
};

// Takes every output of a synthesizer with several (one stem of the song each), on the rendering
// thread, in the order the frames are rendered.
class SynthStemSink {
 public:
  virtual ~SynthStemSink() = default;
  // `channels` holds 2 * `outputs` arrays of `frames` samples: output o's left is channels[2 o],
  // its right channels[2 o + 1].
  virtual void WriteStems(const float* const* channels, std::uint32_t outputs,
                          std::uint32_t frames) = 0;
  // The song's stream has closed: what follows is the release tail.
  virtual void TailStarts() {}
};

}  // namespace quirelle::stream
