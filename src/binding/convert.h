// Number conversion shared by argument checks and field writes: a Lua
// number is truncated toward zero into a signed intermediate integer and the
// destination takes that intermediate's low bits.  The intermediate is 16
// bits for 8-bit values and signed 16-bit ones, 32 bits for unsigned 16-bit
// and signed 32-bit ones, and 64 bits for anything wider.  NaN, infinities
// and values out of the intermediate's range give its minimum.
#pragma once

#include <cfloat>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace kv {

template <class T>
using Intermediate = std::conditional_t<
    (sizeof(T) == 1 || (sizeof(T) == 2 && std::is_signed_v<T>)), int16_t,
    std::conditional_t<(sizeof(T) == 2 || (sizeof(T) == 4 && std::is_signed_v<T>)), int32_t, int64_t>>;

// Truncates toward zero into I; NaN and out-of-range values give I's minimum.
template <class I>
inline I TruncateTo(double d) {
  // The bounds are exact powers of two, so the comparisons are exact.
  constexpr double lo = -static_cast<double>(uint64_t{1} << (sizeof(I) * 8 - 1));
  constexpr double hi = static_cast<double>(uint64_t{1} << (sizeof(I) * 8 - 1));
  if (d > lo - 1.0 && d < hi) return static_cast<I>(d);  // the cast truncates toward zero
  return std::numeric_limits<I>::min();
}

template <>
inline int64_t TruncateTo<int64_t>(double d) {
  constexpr double lo = -9223372036854775808.0;
  constexpr double hi = 9223372036854775808.0;
  if (d >= lo && d < hi) return static_cast<int64_t>(d);
  return std::numeric_limits<int64_t>::min();
}

// The double rounded to float as the hardware rounds it, for every value:
// finite values past the largest float by half its last unit or more
// become infinities (a plain cast is undefined for them), NaN and the
// infinities pass unchanged.
inline float ToFloat(double d) {
  constexpr double kEdge = double(FLT_MAX) + 0x1p103;  // FLT_MAX + half an ulp: ties round to infinity
  if (d >= kEdge) return std::numeric_limits<float>::infinity();
  if (d <= -kEdge) return -std::numeric_limits<float>::infinity();
  if (d > FLT_MAX) return FLT_MAX;
  if (d < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(d);
}

// Converts a Lua number to the C type T by the rules above.  Floating-point
// targets receive the double (rounded for float).  Enumerations are not
// converted to: they travel as their integer (see StoredAs in kinds.h).
template <class T>
inline T FromNumber(double d) {
  static_assert(!std::is_enum_v<T>, "convert to the enumeration's integer type");
  if constexpr (std::is_same_v<T, float>) {
    return ToFloat(d);
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(d);
  } else if constexpr (std::is_same_v<T, bool>) {
    return static_cast<int16_t>(TruncateTo<int16_t>(d)) != 0;
  } else {
    static_assert(std::is_integral_v<T>, "no number conversion for this type");
    using I = Intermediate<T>;
    // Unsigned casts keep the low bits; signed narrowing does too (C++20).
    return static_cast<T>(TruncateTo<I>(d));
  }
}

}  // namespace kv
