// The words of a rehearsal track as an LRC file: each line of a voice's words with the time it
// is sung at in the render, through its tempo, count-in and repeats, as phone players show it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "smf/lyrics.h"

namespace quirelle::render {

// One look at a render on the virtual device: its time and the song's tick playing then.
struct SongMoment {
  std::uint64_t micros = 0;
  std::uint32_t tick = 0;
};

// Keeps of a render's moments, taken in order, those the times of `ticks` are worked from: around
// each of them, where the song jumps back, and the last; a long render keeps little.
class MomentKeeper {
 public:
  explicit MomentKeeper(std::vector<std::uint32_t> ticks);
  void Add(const SongMoment& moment);
  // The moments kept, with the last one added.
  std::vector<SongMoment> Kept() const;

 private:
  bool Crosses(std::uint32_t from, std::uint32_t to) const;

  std::vector<std::uint32_t> ticks_;  // sorted
  std::vector<SongMoment> kept_;
  std::optional<SongMoment> last_;
  std::size_t keepNext_ = 0;
};

// The ticks whose times an LRC file of `words` needs: each line's start and the passage's.
std::vector<std::uint32_t> LrcTicks(const smf::Words& words, std::uint32_t fromTick);

// "[mm:ss.xx]line" for each line of `words` each time the render reaches it, in the order of
// the render. `moments` are taken in order, often enough that the tempo holds between two of
// them; the song's tick goes back to `fromTick` where a passage repeats.
std::string LrcText(const smf::Words& words, const std::vector<SongMoment>& moments,
                    std::uint32_t fromTick);

}  // namespace quirelle::render
