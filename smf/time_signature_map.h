// The time signatures of the first track, and the bar number of a position in ticks, counted
// as a score prints it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "midi/vocabulary.h"

namespace quirelle::smf {

// One metre and where it starts: `bar` begins at `tick`.
struct TimeSigEntry {
  std::uint32_t tick = 0;
  std::int32_t bar = 0;
  std::uint32_t numerator = 0;
  std::uint32_t denominatorPower = 0;
  std::uint32_t clocksPerClick = 0;
  std::uint32_t thirtySecondsPerQuarter = 0;
};

using midi::IsSmpteDivision;

class TimeSignatureMap {
 public:
  void Clear() { entries_.clear(); }
  // `data`/`size`: the event's data bytes (fewer than four are handled as documented in the .cpp).
  // Events come in track order, so `eventTick` never goes back.
  void AddTimeSignature(std::uint32_t eventTick, const std::uint8_t* data, std::uint32_t size,
                        std::uint16_t division);
  // No bar for an SMPTE division: such a file has no bars.
  std::optional<std::int32_t> GetBarNumber(std::uint32_t position, std::uint16_t division) const;
  // The first tick of `bar` (1 is the song's first), the inverse of GetBarNumber; none for an
  // SMPTE division, a bar before 1, or a bar that starts beyond 32 bits of ticks.
  std::optional<std::uint32_t> BarStartTick(std::int32_t bar, std::uint16_t division) const;
  // The metre in force at `tick` (4/4 before any signature).
  const TimeSigEntry& MetreAt(std::uint32_t tick) const;
  const std::vector<TimeSigEntry>& entries() const { return entries_; }

 private:
  std::vector<TimeSigEntry> entries_;
};

}  // namespace quirelle::smf
