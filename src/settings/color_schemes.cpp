#include "settings/color_schemes.h"

namespace tavrin::settings {

namespace {
constexpr std::array<ColorScheme, kSchemeCount + 1> kSchemes{{
    {0, 0, 0, 0},
    {120, 140, 180, 6},  // blue grey
    {110, 160, 130, 6},  // green
    {180, 125, 165, 6},  // mauve
    {170, 160, 100, 6},  // olive
    {170, 170, 180, 6},  // silver
}};
}  // namespace

const std::array<ColorScheme, kSchemeCount + 1>& ColorSchemes() {
  return kSchemes;
}

int ValidSchemeNumber(int number) {
  return number >= 1 && number <= kSchemeCount ? number : 1;
}

const ColorScheme& SchemeFor(int number) {
  return kSchemes[ValidSchemeNumber(number)];
}

ColorRef Shift(ColorRef color, int delta) {
  return Rgb(RedOf(color) + delta, GreenOf(color) + delta, BlueOf(color) + delta);
}

WindowColors ColorsForScheme(int number) {
  const ColorScheme& scheme = SchemeFor(number);
  WindowColors colors;
  colors.BaseColor = Rgb(scheme.Red, scheme.Green, scheme.Blue);
  colors.BevelStep = scheme.BevelStep;
  const bool light = scheme.Red + scheme.Green + scheme.Blue > 500;
  colors.TextColor = light ? 0x000000 : 0xF0F0F0;
  colors.GridColor = light ? 0x503030 : 0xC0C0C0;
  colors.Series1Color = light ? Rgb(150, 0, 0) : Rgb(255, 255, 0);
  colors.Series2Color = light ? Rgb(0, 0, 150) : Rgb(235, 235, 235);
  return colors;
}

ColorRef BevelRing(const WindowColors& colors, int ring) {
  return Shift(colors.BaseColor, colors.BevelStep * (ring - 14));
}

}  // namespace tavrin::settings
