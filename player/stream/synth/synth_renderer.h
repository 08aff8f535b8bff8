// A synthesizer as the block scheduler sees it: it takes packed short messages and renders stereo
// audio in pieces. Messages take effect on a grid of `Quantum()` frames (FluidSynth renders in
// internal blocks of 64 frames and starts a voice only at the start of one).
#pragma once

#include <cstdint>

namespace quirelle::stream {

class SynthRenderer {
 public:
  virtual ~SynthRenderer() = default;
  // A short message, status | data1 << 8 | data2 << 16; takes effect at the next grid point.
  // May be called from any thread.
  virtual void Apply(std::uint32_t message) = 0;
  // Writes the next `frames` frames into left[0..frames) and right[0..frames).
  virtual void Render(float* left, float* right, std::uint32_t frames) = 0;
  virtual std::uint32_t Quantum() const = 0;
};

}  // namespace quirelle::stream
