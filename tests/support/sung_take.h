// Takes made by the tests: a voice singing notes as harmonic tones with vibrato, detuned, left
// out, early or late, an octave off, over noise and other voices bleeding in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quirelle::testing {

struct SungNote {
  double start = 0;  // seconds of the render
  double end = 0;
  int key = 60;
  double cents = 0;  // sung this far off the key
  bool sung = true;  // false: left out
  double late = 0;   // the onset this much after the written one (negative: early)
};

struct TakeRecipe {
  std::uint32_t rate = 44100;
  double lead = 0;              // the take starts this long before the render (negative: after)
  int octaves = 0;              // sung this many octaves off the line
  double noiseDb = -200;        // white noise, against the voice's level
  std::vector<SungNote> bleed;  // other voices heard in the microphone
  double bleedDb = -24;
  double tail = 0.5;  // silence after the last note
};

std::vector<float> SingTake(const std::vector<SungNote>& notes, const TakeRecipe& recipe);

// Writes `samples` as a 16-bit WAV of `channels` (each carrying the same samples); false if it
// cannot.
bool WriteTake(const std::string& path, const std::vector<float>& samples, std::uint32_t rate,
               int channels = 1);

}  // namespace quirelle::testing
