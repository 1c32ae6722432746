#pragma once
// The level meter and the DC offset meter, composed on off-screen bitmaps that
// the window copies to (LevelX0, LevelY0) and (DcX0, DcY0) in one operation.

#include <QImage>
#include <array>
#include <cstdint>

#include "capture/recorder_state.h"
#include "recorder_ui/drawing/layout.h"
#include "settings/color_schemes.h"

namespace tavrin::recorder_ui {

// Peak marker position per channel, in bitmap pixels.
struct PeakHold {
  std::int32_t Left = 0, Right = 0;
};

// One meter's parts that do not follow the level (its background with the
// scale, and a band with every column lit, made again when the colours or the
// size change) and what its bitmap shows now, so the same picture is not drawn
// twice. The bitmap's cache key tells whether anything else drew on it since.
struct MeterCache {
  QImage Background;
  QImage Bars;
  settings::ColorRef BaseColor = 0;
  settings::ColorRef GridColor = 0;
  int Span = -1;
  std::array<std::int32_t, 6> Shown{};
  qint64 ShownImage = 0;
};

QImage MakeLevelMeterBitmap(const MainLayout& layout);                    // 425 x 16
QImage MakeDcMeterBitmap(const MainLayout& layout = LayoutMainWindow());  // 91 x 16

// Fills a meter bitmap with base - 50 (device changed or lost).
void ClearMeterBitmap(QImage& bitmap, const settings::WindowColors& colors);

// Bar length in pixels of a channel: round((max - round(mean)) x level scale).
int LevelBarLength(std::int16_t max, double mean, float levelScale);
// Draws nothing unless DeviceOpen; otherwise ends with the peak markers' decay.
// Returns whether the bitmap changed.
// The sound-activation threshold: a one-pixel line across both bands at bar
// length `x`, in the text colour.
void DrawThresholdMark(QImage& bitmap, int x, const settings::WindowColors& colors);

bool DrawLevelMeter(QImage& bitmap, const capture::RecorderState& state, PeakHold& peakHold,
                    MeterCache& cache, const settings::WindowColors& colors,
                    const MainLayout& layout);

// |round(value x DC scale)|, at most maxLength.
int DcBarLength(double value, float dcScale, int maxLength);
// Shows DcMeterLeft/Right while the DC reduction box is checked, the means
// otherwise. Returns whether the bitmap changed.
bool DrawDcMeter(QImage& bitmap, const capture::RecorderState& state, bool dcReductionChecked,
                 MeterCache& cache, const settings::WindowColors& colors, const MainLayout& layout);

}  // namespace tavrin::recorder_ui
