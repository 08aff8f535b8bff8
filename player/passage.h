// The part of a song that plays: from a tick up to an end tick, how many times, and whether a bar
// of count-in clicks comes before each start. The whole song, once, by default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "smf/midi_file.h"

namespace quirelle::player {

struct Passage {
  static constexpr std::uint32_t kSongEnd = 0xFFFFFFFF;
  static constexpr std::uint32_t kForever = 0;

  std::uint32_t fromTick = 0;
  std::uint32_t endTick = kSongEnd;  // the first tick not played
  std::uint32_t plays = 1;           // kForever: until stopped
  bool countIn = false;              // one bar of side-stick clicks before each start

  bool operator==(const Passage&) const = default;
};

struct PassageResult {
  std::optional<Passage> passage;
  std::string error;  // one line for the user, when passage is empty
};

// The passage from the start of bar `fromBar` to the end of bar `toBar` of a loaded song; an
// empty bar means the song's start or end. Bars count as the score prints them, 1 … LastBar(),
// from 0 in a song with a pickup.
PassageResult PassageFromBars(const smf::MidiFile& file, std::optional<std::int32_t> fromBar,
                              std::optional<std::int32_t> toBar);

}  // namespace quirelle::player
