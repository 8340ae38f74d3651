// Overflow-checked 32-bit arithmetic. Every step is done in 64 bits, where it
// cannot overflow, and the result is range-checked on the way back.

#ifndef XAMLPIE_CHECKED_H_
#define XAMLPIE_CHECKED_H_

#include <cmath>
#include <cstdint>
#include <limits>

#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::checked {

inline constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();

[[noreturn]] void ThrowOverflow();

inline std::int32_t Narrow(std::int64_t v) {
  if (v < kMin || v > kMax) ThrowOverflow();
  return static_cast<std::int32_t>(v);
}

inline std::int32_t Add(std::int32_t a, std::int32_t b) {
  return Narrow(std::int64_t{a} + std::int64_t{b});
}

inline std::int32_t Sub(std::int32_t a, std::int32_t b) {
  return Narrow(std::int64_t{a} - std::int64_t{b});
}

inline std::int32_t Mul(std::int32_t a, std::int32_t b) {
  return Narrow(std::int64_t{a} * std::int64_t{b});
}

// Only whole numbers in range pass; NaN fails every comparison and is refused.
inline std::int32_t FromWhole(double whole) {
  if (!(whole >= static_cast<double>(kMin) && whole <= static_cast<double>(kMax))) {
    ThrowOverflow();
  }
  return static_cast<std::int32_t>(whole);
}

// Round half to even without depending on the floating-point environment,
// which a host application may have changed.
inline std::int32_t Round(double v) {
  double r = std::round(v);  // halves away from zero
  if (std::fabs(v - std::trunc(v)) == 0.5) r = 2.0 * std::round(v / 2.0);
  return FromWhole(r);
}

// Without SSE4.1 std::floor is a library call, and rim points are floored by
// the hundred; truncating through int64 is exact for every value in range.
inline std::int32_t Floor(double v) {
  if (!(v > -9.0e15 && v < 9.0e15)) ThrowOverflow();
  auto whole = static_cast<std::int64_t>(v);  // toward zero
  if (static_cast<double>(whole) > v) --whole;
  return Narrow(whole);
}

}  // namespace xamlpie::checked

#endif  // XAMLPIE_CHECKED_H_
