// 128-bit intermediates built from 32-bit halves; the fast paths stay in 64 bits.
#include "player/stream/wide_math.h"

#include <limits>

namespace quirelle::stream {

Wide Multiply(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t aLo = a & 0xFFFFFFFFu;
  const std::uint64_t aHi = a >> 32;
  const std::uint64_t bLo = b & 0xFFFFFFFFu;
  const std::uint64_t bHi = b >> 32;
  const std::uint64_t lolo = aLo * bLo;
  const std::uint64_t hilo = aHi * bLo;
  const std::uint64_t lohi = aLo * bHi;
  const std::uint64_t hihi = aHi * bHi;
  const std::uint64_t middle = (lolo >> 32) + (hilo & 0xFFFFFFFFu) + (lohi & 0xFFFFFFFFu);
  Wide result;
  result.lo = (middle << 32) | (lolo & 0xFFFFFFFFu);
  result.hi = hihi + (hilo >> 32) + (lohi >> 32) + (middle >> 32);
  return result;
}

Wide Add(Wide a, std::uint64_t b) {
  Wide result{a.hi, a.lo + b};
  if (result.lo < a.lo) {
    ++result.hi;
  }
  return result;
}

Wide Subtract(Wide a, std::uint64_t b) {
  Wide result{a.hi, a.lo - b};
  if (a.lo < b) {
    --result.hi;
  }
  return result;
}

bool Less(Wide a, std::uint64_t b) {
  return a.hi == 0 && a.lo < b;
}

QuotientRemainder Divide(Wide n, std::uint64_t d) {
  if (n.hi == 0) {
    return {n.lo / d, n.lo % d};
  }
  if (n.hi >= d) {
    return {std::numeric_limits<std::uint64_t>::max(), 0};
  }
  // Long division, one bit at a time; the running remainder stays below d.
  std::uint64_t quotient = 0;
  std::uint64_t remainder = n.hi;
  for (int bit = 63; bit >= 0; --bit) {
    const bool carry = (remainder >> 63) != 0;
    remainder = (remainder << 1) | ((n.lo >> bit) & 1u);
    quotient <<= 1;
    if (carry || remainder >= d) {
      remainder -= d;
      quotient |= 1u;
    }
  }
  return {quotient, remainder};
}

std::uint64_t GreatestCommonDivisor(std::uint64_t a, std::uint64_t b) {
  while (b != 0) {
    const std::uint64_t r = a % b;
    a = b;
    b = r;
  }
  return a;
}

}  // namespace quirelle::stream
