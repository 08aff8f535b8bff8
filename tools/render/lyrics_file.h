// The words of a rehearsal track as an LRC file: each line of a voice's words with the time it
// is sung at in the render, through its tempo, count-in and repeats, as phone players show it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "smf/lyrics.h"

namespace quirelle::render {

// One look at a render on the virtual device: its time and the song's tick playing then.
struct SongMoment {
  std::uint64_t micros = 0;
  std::uint32_t tick = 0;
};

// "[mm:ss.xx]line" for each line of `words` each time the render reaches it, in the order of
// the render. `moments` are taken in order, often enough that the tempo holds between two of
// them; the song's tick goes back to `fromTick` where a passage repeats.
std::string LrcText(const smf::Words& words, const std::vector<SongMoment>& moments,
                    std::uint32_t fromTick);

}  // namespace quirelle::render
