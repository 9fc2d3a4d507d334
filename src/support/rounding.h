#pragma once
// Integer division rounded half to even, as the progress positions round.
#include <cstdint>

namespace velt {

// numerator / denominator (denominator > 0, numerator >= 0), a half going to
// the even neighbour.
constexpr std::int64_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t quotient = numerator / denominator;
  const std::int64_t twiceRest = (numerator % denominator) * 2;
  if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0)) ++quotient;
  return quotient;
}

}  // namespace velt
