// The time-signature map: each entry anchors a bar number at a tick with the metre from there.
//
// Events with fewer than two data bytes, a numerator of 0 or a denominator power of 31 or more
// are ignored (they would divide by zero or shift past 32 bits); missing third and fourth bytes
// count as 0. A division of 0 makes every quarter-note count 0. An empty map counts as 4/4
// from tick 0. The arithmetic is done in 64 bits and the bar wraps to 32 bits, so no input
// overflows.
#include "smf/time_signature_map.h"

namespace quirelle::smf {

namespace {

constexpr std::uint32_t kMaxDenominatorPower = 30;

// Whole quarter notes from `from` to `to`: a signed 32-bit difference, truncated toward zero.
std::int64_t Quarters(std::uint32_t to, std::uint32_t from, std::uint16_t division) {
  if (division == 0) {
    return 0;
  }
  const auto difference = static_cast<std::int32_t>(to - from);
  return static_cast<std::int64_t>(difference) / division;
}

// Bars that `quarters` quarter notes make in the metre of `entry`, truncated toward zero.
std::int64_t Bars(std::int64_t quarters, const TimeSigEntry& entry) {
  const std::int64_t beats = quarters * (std::int64_t{1} << entry.denominatorPower);
  return beats / (std::int64_t{4} * entry.numerator);
}

std::int32_t AddBars(std::int32_t bar, std::int64_t bars) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(bar) +
                                   static_cast<std::uint32_t>(bars));
}

// One bar of `numerator` beats of 2^-power notes, in ticks.
std::uint32_t BarLength(std::uint32_t numerator, std::uint32_t power, std::uint16_t division) {
  const std::int64_t quarterTicks = std::int64_t{4} * numerator * division;
  return static_cast<std::uint32_t>(quarterTicks >> power);
}

TimeSigEntry FourFourFromStart(std::uint16_t division) {
  TimeSigEntry entry;
  entry.tick = BarLength(4, 2, division);
  entry.bar = 1;
  entry.numerator = 4;
  entry.denominatorPower = 2;
  entry.clocksPerClick = 24;
  entry.thirtySecondsPerQuarter = 8;
  return entry;
}

}  // namespace

void TimeSignatureMap::AddTimeSignature(std::uint32_t eventTick, const std::uint8_t* data,
                                        std::uint32_t size, std::uint16_t division) {
  if (data == nullptr || size < 2 || data[0] == 0 || data[1] > kMaxDenominatorPower) {
    return;
  }
  TimeSigEntry entry;
  entry.numerator = data[0];
  entry.denominatorPower = data[1];
  entry.clocksPerClick = size >= 3 ? data[2] : 0;
  entry.thirtySecondsPerQuarter = size >= 4 ? data[3] : 0;
  if (entries_.empty()) {
    // The first entry anchors bar 1 one bar after the start, wherever the event stands.
    entry.tick = BarLength(entry.numerator, entry.denominatorPower, division);
    entry.bar = 1;
  } else {
    const TimeSigEntry& last = entries_.back();
    entry.tick = eventTick;
    entry.bar = AddBars(last.bar, Bars(Quarters(eventTick, last.tick, division), last));
  }
  entries_.push_back(entry);
}

std::int32_t TimeSignatureMap::GetBarNumber(std::uint32_t position, std::uint16_t division) const {
  if (entries_.empty()) {
    const TimeSigEntry fallback = FourFourFromStart(division);
    return AddBars(fallback.bar, Bars(Quarters(position, fallback.tick, division), fallback));
  }
  // The reference is the last entry whose tick lies strictly below the position.
  std::size_t i = 0;
  while (i < entries_.size() && position > entries_[i].tick) {
    ++i;
  }
  const TimeSigEntry& reference = entries_[i == 0 ? 0 : i - 1];
  return AddBars(reference.bar, Bars(Quarters(position, reference.tick, division), reference));
}

}  // namespace quirelle::smf
