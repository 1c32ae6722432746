#pragma once
// The five window colour schemes and the colours every self-drawn surface
// derives from the current one. Colours are 0x00BBGGRR values; channel
// arithmetic is 8-bit with wrap-around on purpose (that is how the shades of
// the bevels and backgrounds are defined).

#include <array>
#include <cstdint>

namespace tavrin::settings {

using ColorRef = std::uint32_t;  // 0x00BBGGRR

constexpr ColorRef Rgb(int red, int green, int blue) {
  return static_cast<ColorRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int RedOf(ColorRef color) {
  return static_cast<int>(color & 0xFF);
}
constexpr int GreenOf(ColorRef color) {
  return static_cast<int>((color >> 8) & 0xFF);
}
constexpr int BlueOf(ColorRef color) {
  return static_cast<int>((color >> 16) & 0xFF);
}

struct ColorScheme {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  std::uint8_t BevelStep = 0;
};

inline constexpr int kSchemeCount = 5;

// Schemes 1..5 (index 0 unused).
const std::array<ColorScheme, kSchemeCount + 1>& ColorSchemes();
// A stored scheme number outside 1..5 means scheme 1.
int ValidSchemeNumber(int number);
const ColorScheme& SchemeFor(int number);

// The current scheme and what is derived from it.
struct WindowColors {
  ColorRef BaseColor = 0;
  std::uint8_t BevelStep = 0;
  ColorRef TextColor = 0;
  ColorRef GridColor = 0;
  ColorRef Series1Color = 0;  // left channel trace
  ColorRef Series2Color = 0;  // right channel trace
  bool operator==(const WindowColors&) const = default;
};

WindowColors ColorsForScheme(int number);
// Each channel of `color` plus `delta`, wrapping in 8 bits.
ColorRef Shift(ColorRef color, int delta);
// Bevel ring i (1..14): base + step x (i - 14); ring 14 is the base itself.
ColorRef BevelRing(const WindowColors& colors, int ring);

}  // namespace tavrin::settings
