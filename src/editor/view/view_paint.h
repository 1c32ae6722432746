#pragma once
// Colours and pen patterns of the waveform view, shared by its drawing files.

#include <QRgb>

#include "settings/color_schemes.h"

namespace tavrin::editor::view_paint {

inline constexpr QRgb kSelectedBackground = qRgb(80, 80, 110);
inline constexpr QRgb kWave = qRgb(0, 0, 150);
inline constexpr QRgb kSelectedWave = qRgb(80, 200, 80);
inline constexpr QRgb kZeroLine = qRgb(130, 130, 130);
inline constexpr QRgb kDivider = qRgb(170, 170, 170);
inline constexpr QRgb kCursorLine = qRgb(100, 100, 255);
inline constexpr QRgb kPlayLine = qRgb(121, 255, 121);
// Unselected columns are lighter than the window, the meter darker.
inline constexpr int kBackgroundLift = 70;
inline constexpr int kMeterDarken = -50;
inline constexpr int kBevelLines = 10;

inline QRgb ToRgb(settings::ColorRef color) {
  return qRgb(settings::RedOf(color), settings::GreenOf(color), settings::BlueOf(color));
}

// Bevel line i (1..10) of a frame: darkest next to the area, the window's
// own colour at the outside.
inline settings::ColorRef BevelLine(const settings::WindowColors& colors, int line) {
  return settings::Shift(colors.BaseColor, -(kBevelLines - line) * colors.BevelStep);
}

// A dotted pen: three pixels on, three off, counted from the line's start.
inline bool DotOn(int step) {
  return step % 6 < 3;
}

}  // namespace tavrin::editor::view_paint
