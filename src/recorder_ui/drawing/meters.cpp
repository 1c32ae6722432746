#include "recorder_ui/drawing/meters.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "capture/signal_processing.h"
#include "drawing/raster.h"

namespace tavrin::recorder_ui {

using namespace drawing;

namespace {

constexpr int kMeterHeight = 16;
constexpr int kPeakMarkerFloor = 10;  // pixels; the marker neither shows nor falls at or below it

const QColor kBarOdd(0, 255, 0);
const QColor kBarEven(0, 170, 0);
const QColor kDcOdd(255, 185, 70);
const QColor kDcEven(205, 135, 20);

struct Band {
  int Top;
  int Bottom;  // excluded
};
constexpr Band kLeftBand{1, 7};
constexpr Band kRightBand{9, 15};

QColor MeterBackground(const settings::WindowColors& colors) {
  return ToQColor(settings::Shift(colors.BaseColor, -50));
}

void DrawTicks(QPainter& painter, const QColor& color, int x, Band upper, Band lower) {
  DrawLine(painter, color, x, upper.Top, x, upper.Bottom);
  DrawLine(painter, color, x, lower.Top, x, lower.Bottom);
}

void DrawColumns(QPainter& painter, int width, int length, Band band, const QColor& odd,
                 const QColor& even) {
  const int last = std::min(length, width - 1);
  for (int x = 1; x <= last; ++x)
    DrawLine(painter, x % 2 ? odd : even, x, band.Top, x, band.Bottom);
}

void DrawLevelChannel(QPainter& painter, int width, int count, std::int32_t& peakHold,
                      std::int32_t clipHold, Band band) {
  if (count > peakHold) peakHold = count;
  if (peakHold > kPeakMarkerFloor) {
    FillBox(painter, kBarOdd, peakHold - 4, band.Top, peakHold, band.Bottom);
  }
  DrawColumns(painter, width, count, band, kBarOdd, kBarEven);
  if (clipHold > 0) {
    // Full red right after a clip (hold 30), darker as the hold counts down.
    const QColor clipColor((2 * clipHold + 195) % 256, 0, 0);
    FillBox(painter, clipColor, width - 5, band.Top, width, band.Bottom);
  }
}

void DecayPeak(std::int32_t& peakHold) {
  if (peakHold > kPeakMarkerFloor) peakHold -= 10;
}

}  // namespace

QImage MakeLevelMeterBitmap(const MainLayout& layout) {
  return QImage(layout.LevelX1 - layout.LevelX0 + 1, kMeterHeight, QImage::Format_RGB32);
}

QImage MakeDcMeterBitmap(const MainLayout& layout) {
  return QImage(layout.DcX1 - layout.DcX0 + 1, kMeterHeight, QImage::Format_RGB32);
}

void ClearMeterBitmap(QImage& bitmap, const settings::WindowColors& colors) {
  bitmap.fill(MeterBackground(colors));
}

int LevelBarLength(std::int16_t max, double mean, float levelScale) {
  const std::int32_t peak = max - capture::RoundHalfEven(mean);
  return capture::RoundHalfEven(static_cast<double>(peak) * static_cast<double>(levelScale));
}

void DrawLevelMeter(QImage& bitmap, const capture::RecorderState& state, PeakHold& peakHold,
                    const settings::WindowColors& colors, const MainLayout& layout) {
  if (!state.DeviceOpen) return;
  const int span = layout.LevelX1 - layout.LevelX0;
  const int width = bitmap.width();
  QPainter painter(&bitmap);
  AliasedPainting aliased(painter);
  FillBox(painter, MeterBackground(colors), 0, 0, width, bitmap.height());

  const QColor grid = ToQColor(colors.GridColor);
  for (int i = 1; i <= 99; ++i) DrawTicks(painter, grid, i * span / 100, {2, 7}, {9, 14});
  for (int i = 0; i <= 10; ++i) {
    const int x = i * span / 10;
    DrawLine(painter, grid, x, 1, x, 14);
  }
  DrawLine(painter, grid, 0, 8, span, 8);

  DrawLevelChannel(painter, width, LevelBarLength(state.MaxLeft, state.MeanLeft, layout.LevelScale),
                   peakHold.Left, state.ClipHoldLeft, kLeftBand);
  DrawLevelChannel(painter, width,
                   LevelBarLength(state.MaxRight, state.MeanRight, layout.LevelScale),
                   peakHold.Right, state.ClipHoldRight, kRightBand);

  DecayPeak(peakHold.Left);
  DecayPeak(peakHold.Right);
}

int DcBarLength(double value, float dcScale, int maxLength) {
  const int length = std::abs(capture::RoundHalfEven(value * static_cast<double>(dcScale)));
  return std::min(length, maxLength);
}

void DrawDcMeter(QImage& bitmap, const capture::RecorderState& state, bool dcReductionChecked,
                 const settings::WindowColors& colors, const MainLayout& layout) {
  const int span = layout.DcX1 - layout.DcX0;
  const int width = bitmap.width();
  QPainter painter(&bitmap);
  AliasedPainting aliased(painter);
  FillBox(painter, MeterBackground(colors), 0, 0, width, bitmap.height());

  const QColor grid = ToQColor(colors.GridColor);
  DrawLine(painter, grid, 0, 8, span, 8);
  for (int i = 1; i <= 9; ++i) DrawTicks(painter, grid, i * span / 10, {2, 7}, {9, 14});
  for (int i = 0; i <= 5; ++i) DrawTicks(painter, grid, i * span / 5, {1, 7}, {9, 14});

  const double left = dcReductionChecked ? state.DcMeterLeft : state.MeanLeft;
  const double right = dcReductionChecked ? state.DcMeterRight : state.MeanRight;
  DrawColumns(painter, width, DcBarLength(left, layout.DcScale, width), kLeftBand, kDcOdd, kDcEven);
  DrawColumns(painter, width, DcBarLength(right, layout.DcScale, width), kRightBand, kDcOdd,
              kDcEven);
}

}  // namespace tavrin::recorder_ui
