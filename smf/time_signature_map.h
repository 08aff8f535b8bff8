// The time signatures of the first track, and the bar number of a position in ticks, counted
// as a score prints it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
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

// The ticks of one beat of `metre` (a note of its denominator), at least 1: what a count-in clicks.
inline std::uint32_t BeatTicks(const TimeSigEntry& metre, std::uint32_t division) {
  return std::max<std::uint32_t>(
      1, static_cast<std::uint32_t>((std::uint64_t{4} * division) >> metre.denominatorPower));
}

class TimeSignatureMap {
 public:
  // Empties the map; a pickup given earlier no longer holds.
  void Clear() {
    signatures_.clear();
    entries_.clear();
    givenPickup_ = 0;
    undoSize_ = 0;
  }
  // `data`/`size`: the event's data bytes (fewer than four are handled as documented in the .cpp).
  // Events come in track order, so `eventTick` never goes back.
  void AddTimeSignature(std::uint32_t eventTick, const std::uint8_t* data, std::uint32_t size,
                        std::uint16_t division);
  // A pickup the file does not write: bar 0 lasts `beats` beats of the first metre and bar 1
  // starts after it. 0, a pickup of a bar or more, or a file that writes its own: none given.
  void SetPickup(std::uint32_t beats, std::uint16_t division);
  // True when the song begins with a bar 0, written or given.
  bool HasPickup() const { return !entries_.empty() && entries_.front().bar == 0; }
  bool PickupWritten() const { return HasPickup() && givenPickup_ == 0; }
  // No bar for an SMPTE division: such a file has no bars.
  std::optional<std::int32_t> GetBarNumber(std::uint32_t position, std::uint16_t division) const;
  // The first tick of `bar` (the song's first is 1, or 0 with a pickup), the inverse of
  // GetBarNumber; none for an SMPTE division, a bar before the first, or a bar that starts
  // beyond 32 bits of ticks.
  std::optional<std::uint32_t> BarStartTick(std::int32_t bar, std::uint16_t division) const;
  // Calls `bar(number, firstTick)` for each bar in order, up to the one `lastTick` lies in or
  // until it returns false; nothing for an SMPTE division.
  void ForEachBar(std::uint32_t lastTick, std::uint16_t division,
                  const std::function<bool(std::int32_t, std::uint32_t)>& bar) const;
  // The metre in force at `tick` (4/4 before any signature).
  const TimeSigEntry& MetreAt(std::uint32_t tick) const;
  // Where bars are counted from: the signatures that change the bars, numbered.
  const std::vector<TimeSigEntry>& entries() const { return entries_; }

 private:
  // Numbers `signature`, the latest, after the entries so far.
  void NumberNext(const TimeSigEntry& signature, std::uint16_t division);
  void JoinSplitBar(std::uint16_t division);

  std::vector<TimeSigEntry> signatures_;  // as the file writes them, the last of one tick holding
  std::vector<TimeSigEntry> entries_;
  std::uint32_t givenPickup_ = 0;  // ticks
  // The entries as they stood before the latest signature was numbered, to number another
  // signature at its tick instead.
  std::size_t undoSize_ = 0;
  TimeSigEntry undoLast_;
};

}  // namespace quirelle::smf
