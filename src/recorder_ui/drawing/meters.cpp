#include "recorder_ui/drawing/meters.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "base/samples.h"
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

// The columns 1..length of a band, copied from the cached band with every column lit.
void CopyColumns(QPainter& painter, const MeterCache& cache, int width, int length, Band band) {
  const int last = std::min(length, width - 1);
  if (last < 1) return;
  painter.drawImage(QPoint(1, band.Top), cache.Bars,
                    QRect(1, kLeftBand.Top, last, band.Bottom - band.Top));
}

void DecayPeak(std::int32_t& peakHold) {
  if (peakHold > kPeakMarkerFloor) peakHold -= 10;
}

void DrawLevelScale(QPainter& painter, const QColor& grid, int span) {
  for (int i = 1; i <= 99; ++i) DrawTicks(painter, grid, i * span / 100, {2, 7}, {9, 14});
  for (int i = 0; i <= 10; ++i) {
    const int x = i * span / 10;
    DrawLine(painter, grid, x, 1, x, 14);
  }
  DrawLine(painter, grid, 0, 8, span, 8);
}

void DrawDcScale(QPainter& painter, const QColor& grid, int span) {
  DrawLine(painter, grid, 0, 8, span, 8);
  for (int i = 1; i <= 9; ++i) DrawTicks(painter, grid, i * span / 10, {2, 7}, {9, 14});
  for (int i = 0; i <= 5; ++i) DrawTicks(painter, grid, i * span / 5, {1, 7}, {9, 14});
}

// Makes the cached parts again when the colours or the bitmap's size changed.
// Returns whether it did (the bitmap must then be drawn whole).
template <typename DrawScale>
bool PrepareCache(MeterCache& cache, const QImage& bitmap, const settings::WindowColors& colors,
                  int span, DrawScale drawScale, const QColor& odd, const QColor& even) {
  if (cache.Background.size() == bitmap.size() && cache.Span == span &&
      cache.BaseColor == colors.BaseColor && cache.GridColor == colors.GridColor) {
    return false;
  }
  cache.Span = span;
  cache.BaseColor = colors.BaseColor;
  cache.GridColor = colors.GridColor;
  cache.Background = QImage(bitmap.size(), bitmap.format());
  cache.Bars = QImage(bitmap.size(), bitmap.format());
  {
    QPainter painter(&cache.Background);
    AliasedPainting aliased(painter);
    FillBox(painter, MeterBackground(colors), 0, 0, bitmap.width(), bitmap.height());
    drawScale(painter, ToQColor(colors.GridColor), span);
  }
  cache.Bars.fill(MeterBackground(colors));
  QPainter painter(&cache.Bars);
  AliasedPainting aliased(painter);
  DrawColumns(painter, bitmap.width(), bitmap.width(), kLeftBand, odd, even);
  return true;
}

// Whether the bitmap shows `shown` already, untouched since.
bool AlreadyShown(const MeterCache& cache, const QImage& bitmap,
                  const std::array<std::int32_t, 6>& shown) {
  return cache.ShownImage == bitmap.cacheKey() && cache.Shown == shown;
}

void Remember(MeterCache& cache, const QImage& bitmap, const std::array<std::int32_t, 6>& shown) {
  cache.Shown = shown;
  cache.ShownImage = bitmap.cacheKey();
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
  const std::int32_t peak = max - base::RoundHalfEven(mean);
  return base::RoundHalfEven(static_cast<double>(peak) * static_cast<double>(levelScale));
}

void DrawThresholdMark(QImage& bitmap, int x, const settings::WindowColors& colors) {
  if (x < 0 || x >= bitmap.width()) return;
  QPainter painter(&bitmap);
  AliasedPainting aliased(painter);
  FillBox(painter, ToQColor(colors.TextColor), x, kLeftBand.Top, x + 1, kRightBand.Bottom);
}

bool DrawLevelMeter(QImage& bitmap, const capture::RecorderState& state, PeakHold& peakHold,
                    MeterCache& cache, const settings::WindowColors& colors,
                    const MainLayout& layout) {
  if (!state.DeviceOpen) return false;
  const int width = bitmap.width();
  const int left = LevelBarLength(state.MaxLeft, state.MeanLeft, layout.LevelScale);
  const int right = LevelBarLength(state.MaxRight, state.MeanRight, layout.LevelScale);
  peakHold.Left = std::max(peakHold.Left, left);
  peakHold.Right = std::max(peakHold.Right, right);
  const std::array<std::int32_t, 6> shown{
      left, right, peakHold.Left, peakHold.Right, state.ClipHoldLeft, state.ClipHoldRight};
  const bool rebuilt = PrepareCache(cache, bitmap, colors, layout.LevelX1 - layout.LevelX0,
                                    DrawLevelScale, kBarOdd, kBarEven);
  const bool draw = rebuilt || !AlreadyShown(cache, bitmap, shown);
  if (draw) {
    {
      QPainter painter(&bitmap);
      AliasedPainting aliased(painter);
      painter.drawImage(0, 0, cache.Background);
      const std::array<Band, 2> bands{kLeftBand, kRightBand};
      for (int channel = 0; channel < 2; ++channel) {
        const std::int32_t peak = shown[2 + channel];
        const std::int32_t clipHold = shown[4 + channel];
        const Band band = bands[channel];
        if (peak > kPeakMarkerFloor)
          FillBox(painter, kBarOdd, peak - 4, band.Top, peak, band.Bottom);
        CopyColumns(painter, cache, width, shown[channel], band);
        if (clipHold > 0) {
          // Full red right after a clip (hold 30), darker as the hold counts down.
          const QColor clipColor((2 * clipHold + 195) % 256, 0, 0);
          FillBox(painter, clipColor, width - 5, band.Top, width, band.Bottom);
        }
      }
    }  // the image's key changes once the painter has ended
    Remember(cache, bitmap, shown);
  }
  DecayPeak(peakHold.Left);
  DecayPeak(peakHold.Right);
  return draw;
}

int DcBarLength(double value, float dcScale, int maxLength) {
  const int length = std::abs(base::RoundHalfEven(value * static_cast<double>(dcScale)));
  return std::min(length, maxLength);
}

bool DrawDcMeter(QImage& bitmap, const capture::RecorderState& state, bool dcReductionChecked,
                 MeterCache& cache, const settings::WindowColors& colors,
                 const MainLayout& layout) {
  const int width = bitmap.width();
  const double left = dcReductionChecked ? state.DcMeterLeft : state.MeanLeft;
  const double right = dcReductionChecked ? state.DcMeterRight : state.MeanRight;
  const std::array<std::int32_t, 6> shown{DcBarLength(left, layout.DcScale, width),
                                          DcBarLength(right, layout.DcScale, width)};
  const bool rebuilt =
      PrepareCache(cache, bitmap, colors, layout.DcX1 - layout.DcX0, DrawDcScale, kDcOdd, kDcEven);
  if (!rebuilt && AlreadyShown(cache, bitmap, shown)) return false;
  QPainter painter(&bitmap);
  painter.drawImage(0, 0, cache.Background);
  CopyColumns(painter, cache, width, shown[0], kLeftBand);
  CopyColumns(painter, cache, width, shown[1], kRightBand);
  painter.end();
  Remember(cache, bitmap, shown);
  return true;
}

}  // namespace tavrin::recorder_ui
