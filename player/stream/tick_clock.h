// The tick clock of a stream: how long one tick lasts in device units, from the time division and
// the tempo (or the SMPTE frame rate), as an exact fraction num / den of a unit. Points on the
// time line are whole units plus a remainder over den, so adding ticks never drifts.
#pragma once

#include <cstdint>

#include "midi/vocabulary.h"
#include "player/stream/stream_core.h"

namespace quirelle::stream {

// A point of stream time: whole units plus rem / denominator() of a unit (rem < denominator()).
struct Stamp {
  std::uint64_t whole = 0;
  std::uint64_t rem = 0;
};

class TickClock {
 public:
  static constexpr std::uint32_t kDefaultTempo = 500000;  // µs per quarter note
  static constexpr std::uint32_t kDefaultDivision = 96;   // ticks per quarter note

  explicit TickClock(std::uint64_t unitsPerSecond);

  // Ticks per quarter note (1..0x7FFF), or bit 15 set: -frames per second (24, 25, 29 for 29.97
  // drop-frame, 30) in the high byte and ticks per frame (>= 1) in the low byte.
  static bool IsValidDivision(std::uint32_t division);
  // `division` must be valid. Returns the old denominator, for Rescale.
  std::uint64_t SetDivision(std::uint32_t division);
  // Stored always; changes the speed only for ticks-per-quarter divisions.
  void SetTempo(std::uint32_t microsPerQuarter);

  std::uint32_t division() const { return division_; }
  std::uint32_t tempo() const { return tempo_; }
  bool smpte() const { return midi::IsSmpteDivision(division_); }
  std::uint64_t unitsPerSecond() const { return units_; }
  std::uint64_t denominator() const { return den_; }

  // The point `ticks` ticks after `from`.
  Stamp After(Stamp from, std::uint64_t ticks) const;
  // Whole ticks from `from` that have passed by whole unit `to` (0 when `to` is before `from`, or
  // when ticks take no time).
  std::uint64_t TicksUntil(Stamp from, std::uint64_t to) const;
  // `point`, kept with the old denominator, moved onto the current one (rounded down).
  Stamp Rescale(Stamp point, std::uint64_t oldDenominator) const;
  ExactTime Exact(Stamp point) const { return {point.whole, point.rem, den_}; }

 private:
  void Recompute();

  std::uint64_t units_;
  std::uint32_t division_ = kDefaultDivision;
  std::uint32_t tempo_ = kDefaultTempo;
  std::uint64_t num_ = 0;  // one tick lasts num_ / den_ units
  std::uint64_t den_ = 1;
};

}  // namespace quirelle::stream
