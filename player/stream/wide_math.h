// Unsigned 128-bit intermediate products for the exact tick arithmetic, without compiler
// extensions: a 64 × 64 product, addition and subtraction, and division by a 64-bit divisor.
#pragma once

#include <cstdint>

namespace quirelle::stream {

struct Wide {
  std::uint64_t hi = 0;
  std::uint64_t lo = 0;
};

Wide Multiply(std::uint64_t a, std::uint64_t b);
Wide Add(Wide a, std::uint64_t b);
// a - b; the caller makes sure that a >= b.
Wide Subtract(Wide a, std::uint64_t b);
bool Less(Wide a, std::uint64_t b);

// The quotient and remainder of n / d (d > 0). A quotient that does not fit in 64 bits gives
// UINT64_MAX (and remainder 0).
struct QuotientRemainder {
  std::uint64_t quotient = 0;
  std::uint64_t remainder = 0;
};
QuotientRemainder Divide(Wide n, std::uint64_t d);

std::uint64_t GreatestCommonDivisor(std::uint64_t a, std::uint64_t b);

}  // namespace quirelle::stream
