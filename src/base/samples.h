#pragma once
// The numeric rules every layer shares: real values round to the nearest
// integer with halves to even, and 16-bit sample arithmetic keeps the low 16
// bits (it wraps on purpose, it does not saturate).

#include <cmath>
#include <cstdint>

namespace tavrin::base {

inline std::int32_t RoundHalfEven(double value) {
  // The default floating-point rounding mode rounds halves to even.
  return static_cast<std::int32_t>(std::nearbyint(value));
}

inline std::int16_t Low16(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

}  // namespace tavrin::base
