// The time-signature map: each entry starts a bar at a tick with the metre from there.
//
// Bar 1 starts at tick 0 in the first metre, wherever its event stands (files written with a
// first event a tick or so late still count from the start). A later signature starts a new bar
// at its own tick, also when it falls inside a bar, as notation programs write it; of several
// at one tick the last holds; the metre in force restated inside a bar changes nothing. An empty
// map counts as 4/4 from tick 0.
//
// Notation programs write what a printed score does not count as bars of their own: a first bar
// shorter than the next signature's bar and ending exactly where it stands is a pickup, bar 0;
// two bars of a signature each, both shorter than the bar in force before them and together
// exactly one of it, are one bar split at a repeat sign or a fermata. A pickup the file does not
// write can be given in beats of the first metre.
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

// A bar's length in 2^-30 ticks, so that bars of any two metres compare exactly.
std::uint64_t BarLength(const TimeSigEntry& entry, std::uint16_t division) {
  return (std::uint64_t{4} * entry.numerator * division)
         << (kMaxDenominatorPower - entry.denominatorPower);
}

bool SameMetre(const TimeSigEntry& a, const TimeSigEntry& b) {
  return a.numerator == b.numerator && a.denominatorPower == b.denominatorPower;
}

// True when `tick` lies exactly one bar of `entry`'s metre after it.
bool LastsOneBar(const TimeSigEntry& entry, std::uint32_t tick, std::uint16_t division) {
  const BarCount bars = BarsSince(entry, tick, division);
  return bars.whole == 1 && !bars.partial;
}

// A first bar shorter than the bar of the signature standing exactly at its end.
bool IsPickup(const TimeSigEntry& first, const TimeSigEntry& next, std::uint16_t division) {
  return LastsOneBar(first, next.tick, division) &&
         BarLength(first, division) < BarLength(next, division);
}

constexpr TimeSigEntry kFourFourFromStart{0, 1, 4, 2, 24, 8};

}  // namespace

void TimeSignatureMap::AddTimeSignature(std::uint32_t eventTick, const std::uint8_t* data,
                                        std::uint32_t size, std::uint16_t division) {
  if (data == nullptr || size < 2 || data[0] == 0 || data[1] > kMaxDenominatorPower) {
    return;
  }
  TimeSigEntry signature;
  signature.tick = signatures_.empty() ? 0 : eventTick;
  signature.numerator = data[0];
  signature.denominatorPower = data[1];
  signature.clocksPerClick = size >= 3 ? data[2] : 0;
  signature.thirtySecondsPerQuarter = size >= 4 ? data[3] : 0;
  if (!signatures_.empty() && signature.tick <= signatures_.back().tick) {
    // The later of two at one tick holds: number it instead of the earlier one.
    signature.tick = signatures_.back().tick;
    signatures_.back() = signature;
    entries_.resize(undoSize_);
    if (undoSize_ != 0) {
      entries_.back() = undoLast_;
    }
  } else {
    signatures_.push_back(signature);
  }
  NumberNext(signature, division);
}

void TimeSignatureMap::SetPickup(std::uint32_t beats, std::uint16_t division) {
  givenPickup_ = 0;
  if (signatures_.empty() && beats != 0) {
    signatures_.push_back(kFourFourFromStart);  // the metre a song without signatures counts in
  }
  if (!signatures_.empty()) {
    const TimeSigEntry& first = signatures_.front();
    const bool written = signatures_.size() > 1 && IsPickup(first, signatures_[1], division);
    const std::uint64_t ticks =
        (std::uint64_t{4} * division * std::min<std::uint32_t>(beats, 255)) >>
        first.denominatorPower;
    const BarCount bars = BarsSince(first, static_cast<std::uint32_t>(ticks), division);
    if (!written && ticks != 0 && bars.whole == 0) {
      givenPickup_ = static_cast<std::uint32_t>(ticks);
    }
  }
  entries_.clear();
  for (const TimeSigEntry& signature : signatures_) {
    NumberNext(signature, division);
  }
}

void TimeSignatureMap::NumberNext(const TimeSigEntry& signature, std::uint16_t division) {
  undoSize_ = entries_.size();
  if (entries_.empty()) {
    TimeSigEntry first = signature;
    first.bar = 1;
    if (givenPickup_ != 0) {
      first.bar = 0;
      entries_.push_back(first);
      first.tick = givenPickup_;
      first.bar = 1;
    }
    entries_.push_back(first);
    return;
  }
  undoLast_ = entries_.back();
  TimeSigEntry& last = entries_.back();
  if (signature.tick <= last.tick) {
    // Inside a given pickup: the metre holds from where bar 1 starts.
    last.numerator = signature.numerator;
    last.denominatorPower = signature.denominatorPower;
    last.clocksPerClick = signature.clocksPerClick;
    last.thirtySecondsPerQuarter = signature.thirtySecondsPerQuarter;
    return;
  }
  const BarCount bars = BarsSince(last, signature.tick, division);
  if (bars.partial && SameMetre(last, signature)) {
    return;  // the metre restated inside a bar (at a repeat sign) draws no bar line
  }
  TimeSigEntry entry = signature;
  entry.bar = AddBars(last.bar, bars.whole + (bars.partial ? 1 : 0));
  if (entries_.size() == 1 && last.bar == 1 && IsPickup(last, entry, division)) {
    last.bar = 0;
    entry.bar = 1;
  }
  entries_.push_back(entry);
  JoinSplitBar(division);
}

void TimeSignatureMap::JoinSplitBar(std::uint16_t division) {
  const std::size_t n = entries_.size();
  if (n < 4) {
    return;
  }
  const TimeSigEntry& before = entries_[n - 4];
  TimeSigEntry& first = entries_[n - 3];
  TimeSigEntry& second = entries_[n - 2];
  TimeSigEntry& next = entries_[n - 1];
  // After a pickup the bar in force is the one the song goes on in.
  const TimeSigEntry& inForce = before.bar == 0 ? next : before;
  const std::uint64_t whole = BarLength(inForce, division);
  const std::uint64_t a = BarLength(first, division);
  const std::uint64_t b = BarLength(second, division);
  if (first.bar == before.bar || !LastsOneBar(first, second.tick, division) ||
      !LastsOneBar(second, next.tick, division) || a >= whole || b >= whole || a + b != whole) {
    return;
  }
  second.bar = first.bar;
  next.bar = AddBars(first.bar, 1);
}

void TimeSignatureMap::ForEachBar(
    std::uint32_t lastTick, std::uint16_t division,
    const std::function<bool(std::int32_t, std::uint32_t)>& bar) const {
  if (IsSmpteDivision(division)) {
    return;
  }
  const std::vector<TimeSigEntry> fourFour{kFourFourFromStart};
  const std::vector<TimeSigEntry>& entries = entries_.empty() ? fourFour : entries_;
  for (std::size_t i = 0; i < entries.size() && entries[i].tick <= lastTick; ++i) {
    const TimeSigEntry& entry = entries[i];
    // Not the second half of a split bar.
    if ((i == 0 || entry.bar != entries[i - 1].bar) && !bar(entry.bar, entry.tick)) {
      return;
    }
    const std::uint64_t end =
        i + 1 < entries.size() ? std::min(entries[i + 1].tick - 1, lastTick) : lastTick;
    // Whole bars of this metre up to the next signature, in 2^-power ticks rounded up. Bars
    // shorter than a tick share one: the tick shows the last of them, which is the one listed.
    const std::uint64_t units = std::uint64_t{4} * entry.numerator * division;
    const std::uint32_t power = entry.denominatorPower;
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    for (std::uint64_t n = 1; units != 0;) {
      const std::uint64_t tick = entry.tick + ((n * units + (1ull << power) - 1) >> power);
      if (tick > end) {
        break;
      }
      const std::uint64_t shown = (std::uint64_t{tick - entry.tick} << power) / units;
      if (entry.bar + static_cast<std::int64_t>(shown) > kLargest ||
          !bar(static_cast<std::int32_t>(entry.bar + static_cast<std::int64_t>(shown)),
               static_cast<std::uint32_t>(tick))) {
        return;
      }
      n = shown + 1;
    }
  }
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
  if (IsSmpteDivision(division) || bar < (HasPickup() ? 0 : 1)) {
    return std::nullopt;
  }
  const TimeSigEntry* reference = &kFourFourFromStart;
  for (const TimeSigEntry& entry : entries_) {
    if (entry.bar > bar) {
      break;
    }
    // Of the two halves of a split bar, the first starts it.
    if (reference == &kFourFourFromStart || entry.bar != reference->bar) {
      reference = &entry;
    }
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
