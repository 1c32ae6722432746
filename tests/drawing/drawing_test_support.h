#pragma once
// Helpers for the drawing tests: pixel colours as plain RGB triples.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <tuple>

namespace tavrin::recorder_ui::testing {

using Rgb = std::tuple<int, int, int>;

inline Rgb PixelAt(const QImage& image, int x, int y) {
  const QColor color = image.pixelColor(x, y);
  return {color.red(), color.green(), color.blue()};
}

// Scheme 1 (120, 140, 180) less 50: the meter background.
inline constexpr Rgb kScheme1Background{70, 90, 130};
// Scheme 1's grid colour 0xC0C0C0.
inline constexpr Rgb kScheme1Grid{192, 192, 192};

}  // namespace tavrin::recorder_ui::testing
