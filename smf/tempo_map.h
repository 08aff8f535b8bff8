// How long a song takes to reach a tick: its tempo changes, read once from every track.
#pragma once

#include <cstdint>
#include <vector>

#include "smf/midi_file.h"

namespace quirelle::smf {

// A written tempo (µs per quarter note) at a tempo percent, as the stream plays it.
std::uint32_t ScaledTempo(std::uint32_t tempo, std::uint32_t percent);

// The tempo map of a loaded song: the tempo changes of every track in the order the player meets
// them (at equal ticks the lower-numbered track's comes last, and holds), where the song ends and
// where damaged data end it early. One pass over the tracks through cursors of its own; it keeps
// only the tempo changes.
class TempoMap {
 public:
  explicit TempoMap(const MidiFile& file);

  // Seconds from the song's start to `tick`, at `tempoPercent` of the written tempo (which a song
  // timed in SMPTE frames does not have).
  double SecondsTo(std::uint32_t tick, std::uint32_t tempoPercent) const;
  // The written tempo in effect at `tick` (µs per quarter note).
  std::uint32_t TempoAt(std::uint32_t tick) const;
  // The tick of the song's last event, or of the damaged data that end it earlier.
  std::uint32_t endTick() const { return endTick_; }
  // Why the song ends early, or null.
  const char* damage() const { return damage_; }

 private:
  struct Change {
    std::uint32_t tick;
    std::uint32_t tempo;
  };
  std::vector<Change> changes_;  // by tick, the first at tick 0
  std::uint16_t division_ = 0;
  std::uint32_t endTick_ = 0;
  const char* damage_ = nullptr;
};

}  // namespace quirelle::smf
