// Tick lengths as exact fractions: ticks per quarter note scale with the tempo; SMPTE divisions
// count frames per second (29 meaning 30000/1001) times ticks per frame and ignore the tempo.
#include "player/stream/tick_clock.h"

#include <limits>

#include "midi/vocabulary.h"
#include "player/stream/wide_math.h"

namespace quirelle::stream {
namespace {

constexpr std::uint64_t kMicrosPerSecond = 1000000;

}  // namespace

TickClock::TickClock(std::uint64_t unitsPerSecond)
    : units_(unitsPerSecond == 0 ? 1 : unitsPerSecond) {
  Recompute();
}

bool TickClock::IsValidDivision(std::uint32_t division) {
  if (division > 0xFFFFu || division == 0) {
    return false;
  }
  if (!midi::IsSmpteDivision(division)) {
    return true;
  }
  const std::uint32_t frames = midi::SmpteFramesPerSecond(division);
  const bool knownRate = frames == 24 || frames == 25 || frames == 29 || frames == 30;
  return knownRate && midi::SmpteTicksPerFrame(division) != 0;
}

std::uint64_t TickClock::SetDivision(std::uint32_t division) {
  const std::uint64_t old = den_;
  division_ = division;
  Recompute();
  return old;
}

void TickClock::SetTempo(std::uint32_t microsPerQuarter) {
  tempo_ = microsPerQuarter;
  if (!smpte()) {
    Recompute();
  }
}

void TickClock::Recompute() {
  if (smpte()) {
    const std::uint64_t frames = midi::SmpteFramesPerSecond(division_);
    const std::uint64_t ticksPerFrame = midi::SmpteTicksPerFrame(division_);
    // A tick lasts 1 / (fps × ticks per frame) s; 29.97 fps is 30000 frames per 1001 s.
    num_ = frames == 29 ? units_ * 1001 : units_;
    den_ = (frames == 29 ? 30000 : frames) * ticksPerFrame;
    const std::uint64_t g = GreatestCommonDivisor(num_, den_);
    num_ /= g;
    den_ /= g;
    return;
  }
  // A tick lasts tempo / division µs = tempo × units / (10^6 × division) units.
  const std::uint64_t g = GreatestCommonDivisor(units_, kMicrosPerSecond);
  num_ = static_cast<std::uint64_t>(tempo_) * (units_ / g);
  den_ = (kMicrosPerSecond / g) * division_;
}

Stamp TickClock::After(Stamp from, std::uint64_t ticks) const {
  if (ticks == 0) {
    return from;
  }
  const QuotientRemainder qr = Divide(Add(Multiply(ticks, num_), from.rem), den_);
  const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - from.whole;
  if (qr.quotient > room) {
    return {std::numeric_limits<std::uint64_t>::max(), 0};
  }
  return {from.whole + qr.quotient, qr.remainder};
}

std::uint64_t TickClock::TicksUntil(Stamp from, std::uint64_t to) const {
  if (to < from.whole || num_ == 0) {
    return 0;
  }
  const Wide span = Multiply(to - from.whole, den_);
  if (Less(span, from.rem)) {
    return 0;
  }
  return Divide(Subtract(span, from.rem), num_).quotient;
}

Stamp TickClock::Rescale(Stamp point, std::uint64_t oldDenominator) const {
  if (oldDenominator == den_) {
    return point;
  }
  return {point.whole, Divide(Multiply(point.rem, den_), oldDenominator).quotient};
}

}  // namespace quirelle::stream
