// The time-signature map: each entry starts a bar at a tick with the metre from there.
//
// Bar 1 starts at tick 0 in the first metre, wherever its event stands (files written with a
// first event a tick or so late still count from the start). A later signature starts a new bar
// at its own tick, also when it falls inside a bar, as notation programs write it; of several
// at one tick the last holds. An empty map counts as 4/4 from tick 0.
//
// Events with fewer than two data bytes, a numerator of 0 or a denominator power of 31 or more
// are ignored; missing third and fourth bytes count as 0. Bar lengths are compared in units of
// 2^-power ticks, so no bar length is rounded; a division of 0 gives bars of no length, and
// the whole song is then one bar. Bar numbers stop at the largest 32-bit number, so no input
// overflows.
#include "smf/time_signature_map.h"

#include <algorithm>
#include <limits>

namespace quirelle::smf {

namespace {

constexpr std::uint32_t kMaxDenominatorPower = 30;

struct BarCount {
  std::uint64_t whole = 0;
  bool partial = false;  // a bar begun but not finished
};

// Bars of `entry`'s metre from its tick to `position`.
BarCount BarsSince(const TimeSigEntry& entry, std::uint32_t position, std::uint16_t division) {
  const std::uint64_t barLength = std::uint64_t{4} * entry.numerator * division;
  if (barLength == 0) {
    return {};
  }
  const std::uint64_t elapsed = std::uint64_t{position - entry.tick} << entry.denominatorPower;
  return {elapsed / barLength, elapsed % barLength != 0};
}

// Bars beyond the largest number stop there: a far position of a tiny metre shows a huge bar,
// never a negative one.
std::int32_t AddBars(std::int32_t bar, std::uint64_t bars) {
  constexpr std::uint64_t kLargest = std::numeric_limits<std::int32_t>::max();
  const std::uint64_t sum = static_cast<std::uint64_t>(bar) + std::min(bars, kLargest);
  return static_cast<std::int32_t>(std::min(sum, kLargest));
}

constexpr TimeSigEntry kFourFourFromStart{0, 1, 4, 2, 24, 8};

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
  entry.bar = 1;
  if (!entries_.empty()) {
    TimeSigEntry& last = entries_.back();
    if (eventTick <= last.tick) {
      entry.tick = last.tick;
      entry.bar = last.bar;
      last = entry;  // the later of two at one tick holds
      return;
    }
    const BarCount bars = BarsSince(last, eventTick, division);
    entry.tick = eventTick;
    entry.bar = AddBars(last.bar, bars.whole + (bars.partial ? 1 : 0));
  }
  entries_.push_back(entry);
}

const TimeSigEntry& TimeSignatureMap::MetreAt(std::uint32_t tick) const {
  // The reference is the last entry that starts at or before the tick.
  const TimeSigEntry* reference = &kFourFourFromStart;
  for (const TimeSigEntry& entry : entries_) {
    if (entry.tick > tick) {
      break;
    }
    reference = &entry;
  }
  return *reference;
}

std::optional<std::int32_t> TimeSignatureMap::GetBarNumber(std::uint32_t position,
                                                           std::uint16_t division) const {
  if (IsSmpteDivision(division)) {
    return std::nullopt;
  }
  const TimeSigEntry& reference = MetreAt(position);
  return AddBars(reference.bar, BarsSince(reference, position, division).whole);
}

std::optional<std::uint32_t> TimeSignatureMap::BarStartTick(std::int32_t bar,
                                                            std::uint16_t division) const {
  if (IsSmpteDivision(division) || bar < 1) {
    return std::nullopt;
  }
  const TimeSigEntry* reference = &kFourFourFromStart;
  for (const TimeSigEntry& entry : entries_) {
    if (entry.bar > bar) {
      break;
    }
    reference = &entry;
  }
  // The first tick whose bar count reaches `bar`: bar lengths are in 2^-power ticks, rounded up.
  const std::uint64_t bars = static_cast<std::uint64_t>(bar - reference->bar);
  const std::uint64_t units = bars * 4 * reference->numerator * division;
  const std::uint64_t scale = std::uint64_t{1} << reference->denominatorPower;
  const std::uint64_t tick = reference->tick + (units + scale - 1) / scale;
  if (tick > 0xFFFFFFFFu) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(tick);
}

}  // namespace quirelle::smf
