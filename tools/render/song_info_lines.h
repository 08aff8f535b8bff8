// What `quirelle-render --info` prints: the texts the player window shows for a song, its last
// bar and its length; and how long a song or a passage of it lasts, from its tempo map, without
// playing it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/midi_stream_player.h"
#include "player/passage.h"
#include "smf/midi_file.h"

namespace quirelle::render {

// "title: T", "voice 1: N1" … "voice 4: N4", "bars: B" ("-" for a song timed in SMPTE
// frames), each ending in a newline, for a loaded song read from `path`.
std::string SongInfoLines(const player::CMidiStreamPlayer& engine, const std::string& path);

// "seconds: S", one decimal, and a newline.
std::string SecondsLine(double seconds);

// The tempo map of a loaded song: the tempo changes of every track in the order the player meets
// them (at equal ticks the lower-numbered track's comes last, and holds), where the song ends and
// where damaged data end it early. One pass over the tracks through cursors of its own; it keeps
// only the tempo changes.
class TempoMap {
 public:
  explicit TempoMap(const smf::MidiFile& file);

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

// How long playing `passage` of the song lasts at `tempoPercent`: each play from its start to its
// end (or the song's), with its bar of count-in clicks; no release tail.
double PassageSeconds(const smf::MidiFile& file, const TempoMap& tempos,
                      const player::Passage& passage, std::uint32_t tempoPercent);

}  // namespace quirelle::render
