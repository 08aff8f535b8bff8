#include "player/passage.h"

namespace quirelle::player {

PassageResult PassageFromBars(const smf::MidiFile& file, std::optional<std::int32_t> fromBar,
                              std::optional<std::int32_t> toBar) {
  Passage passage;
  if (!fromBar && !toBar) {
    return {passage, {}};
  }
  const std::optional<std::int32_t> last = file.LastBar();
  if (!last) {
    return {std::nullopt, "this song is timed in frames and has no bars"};
  }
  // A song with a pickup begins with bar 0.
  const std::int32_t first = file.timeSignatures().HasPickup() ? 0 : 1;
  const std::int32_t from = fromBar.value_or(first);
  const std::int32_t to = toBar.value_or(*last);
  if (from < first || to < first || from > *last || to > *last) {
    return {std::nullopt,
            "the song has bars " + std::to_string(first) + " to " + std::to_string(*last)};
  }
  if (from > to) {
    return {std::nullopt, "bar " + std::to_string(from) + " comes after bar " + std::to_string(to)};
  }
  passage.fromTick = file.BarStartTick(from).value_or(0);
  if (toBar && to < *last) {
    passage.endTick = file.BarStartTick(to + 1).value_or(Passage::kSongEnd);
  }
  return {passage, {}};
}

}  // namespace quirelle::player
