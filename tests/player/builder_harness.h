// Runs the stream event builder of an engine whose device refuses to open, so that a test can
// fill buffers itself from the start of a loaded song and look at the events written.
#pragma once

#include <cstdint>
#include <vector>

#include "player/midi_stream_player.h"
#include "tests/support/midi_image.h"
#include "tests/support/refusing_driver.h"

namespace quirelle::testing {

struct Written {
  std::uint32_t delta;
  std::uint32_t word;
  bool operator==(const Written&) const = default;
};

class BuilderHarness {
 public:
  // Loads `image` (the device open fails, so the image stays held with a fresh track table).
  explicit BuilderHarness(const Bytes& image, std::uint32_t tempoPercent = 100);

  // One fill into a new buffer; `result` receives FillBuffer's result.
  std::vector<Written> Fill(bool first, int* result = nullptr);
  player::CMidiStreamPlayer& engine() { return engine_; }

 private:
  RefusingDriver driver_;
  player::CMidiStreamPlayer engine_{driver_};
};

inline std::uint32_t TempoWord(std::uint32_t tempo) {
  return tempo | 0x01000000;
}

}  // namespace quirelle::testing
