// The exact arithmetic under the tick clock: 128-bit intermediates, tick lengths for the divisions,
// huge tick counts, and moving a point to a new denominator.
#include "player/stream/tick_clock.h"

#include <gtest/gtest.h>

#include <limits>

#include "player/stream/wide_math.h"

namespace quirelle::stream {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(WideMath, ProductsAndQuotientsBeyond64Bits) {
  const Wide product = Multiply(kMax, kMax);  // (2^64 - 1)^2 = 2^128 - 2^65 + 1
  EXPECT_EQ(product.hi, kMax - 1);
  EXPECT_EQ(product.lo, 1u);
  const QuotientRemainder qr = Divide(Multiply(0x123456789ABCDEFull, 1000003), 1000003);
  EXPECT_EQ(qr.quotient, 0x123456789ABCDEFull);
  EXPECT_EQ(qr.remainder, 0u);
  const QuotientRemainder big = Divide(Add(Multiply(kMax, 7), 5), 8);
  // (7 × (2^64 - 1) + 5) / 8 = 7 × 2^61 - 1 rest 6.
  EXPECT_EQ(big.quotient, 7ull * (1ull << 61) - 1);
  EXPECT_EQ(big.remainder, 6u);
  EXPECT_EQ(Divide(Multiply(kMax, kMax), 3).quotient, kMax);  // does not fit: saturates
  EXPECT_EQ(Divide(Multiply(1ull << 63, 4), (1ull << 63) + 1).quotient, 3u);
  EXPECT_TRUE(Less(Subtract(Wide{1, 0}, 1), kMax) == false);
  EXPECT_EQ(GreatestCommonDivisor(44100, 1000000), 100u);
}

TEST(TickClock, DivisionsAreChecked) {
  EXPECT_TRUE(TickClock::IsValidDivision(1));
  EXPECT_TRUE(TickClock::IsValidDivision(0x7FFF));
  EXPECT_FALSE(TickClock::IsValidDivision(0));
  EXPECT_FALSE(TickClock::IsValidDivision(0x10000));
  EXPECT_TRUE(TickClock::IsValidDivision(0xE728));   // -25 fps, 40 ticks
  EXPECT_TRUE(TickClock::IsValidDivision(0xE301));   // -29 (29.97), 1 tick
  EXPECT_FALSE(TickClock::IsValidDivision(0xE700));  // no ticks per frame
  EXPECT_FALSE(TickClock::IsValidDivision(0xE028));  // -32 fps
}

TEST(TickClock, SampleClocksKeepFractionsExact) {
  TickClock clock(44100);
  clock.SetDivision(480);
  // One quarter at 500000 µs is exactly 22050 samples, however it is cut up.
  Stamp point;
  for (int i = 0; i < 480; ++i) {
    point = clock.After(point, 1);
  }
  EXPECT_EQ(point.whole, 22050u);
  EXPECT_EQ(point.rem, 0u);
  EXPECT_EQ(clock.TicksUntil({}, 22050), 480u);
  EXPECT_EQ(clock.TicksUntil({}, 22049), 479u);
}

TEST(TickClock, HugeDeltasDoNotOverflow) {
  TickClock clock(96000);
  clock.SetDivision(1);
  clock.SetTempo(0xFFFFFF);
  const Stamp far = clock.After({}, 0xFFFFFFFFull);
  // 2^32 - 1 quarters of 16777215 µs at 96 kHz: 4294967295 × 16777215 × 96000 / 10^6 samples
  // = 6917528613713608.8, beyond 2^52, and the 0.8 is kept as 4/5 of the 10^6 denominator.
  EXPECT_EQ(far.whole, 6917528613713608u);
  EXPECT_EQ(far.rem * 5, clock.denominator() * 4);
  EXPECT_EQ(clock.TicksUntil({}, far.whole + 1), 0xFFFFFFFFull);
}

TEST(TickClock, ZeroTempoTicksTakeNoTime) {
  TickClock clock(1000000);
  clock.SetTempo(0);
  EXPECT_EQ(clock.After({5, 0}, 1000).whole, 5u);
  EXPECT_EQ(clock.TicksUntil({5, 0}, 100), 0u);
}

TEST(TickClock, RescaleKeepsThePointsTime) {
  TickClock clock(1000000);
  clock.SetDivision(3);
  const Stamp third = clock.After({}, 1);  // 166666 2/3 µs
  EXPECT_EQ(third.whole, 166666u);
  EXPECT_EQ(third.rem, 2u);
  const std::uint64_t old = clock.SetDivision(6);
  const Stamp moved = clock.Rescale(third, old);
  EXPECT_EQ(moved.whole, 166666u);
  EXPECT_EQ(moved.rem, 4u);
  EXPECT_EQ(clock.denominator(), 6u);
}

TEST(TickClock, SmpteIgnoresTheTempo) {
  TickClock clock(1000000);
  clock.SetDivision(0xE728);
  const Stamp before = clock.After({}, 1000);
  clock.SetTempo(100);
  const Stamp after = clock.After({}, 1000);
  EXPECT_EQ(before.whole, 1000000u);
  EXPECT_EQ(after.whole, 1000000u);
  EXPECT_EQ(clock.tempo(), 100u);
}

}  // namespace
}  // namespace quirelle::stream
