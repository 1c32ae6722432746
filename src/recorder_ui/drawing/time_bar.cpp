#include "recorder_ui/drawing/time_bar.h"

#include <algorithm>
#include <array>

#include "base/samples.h"
#include "capture/signal_processing.h"
#include "drawing/raster.h"
#include "recorder_ui/drawing/frames.h"

namespace tavrin::recorder_ui {

using namespace drawing;

namespace {

constexpr std::array<TimeScale, 10> kTimeScales{{
    {3, 3, 1, 7, "min"},
    {5, 5, 1, 7, "min"},
    {10, 10, 1, 7, "min"},
    {15, 3, 5, 9, "min"},
    {20, 4, 5, 9, "min"},
    {30, 6, 5, 9, "min"},
    {60, 6, 10, 9, "min"},
    {120, 4, 30, 6, "min"},
    {240, 4, 1, 6, " hr"},
    {600, 10, 1, 6, " hr"},
}};

// Pixels from the bar's first to its last column on the window's scale.
constexpr int kScaleSpan = 442 - 18;
constexpr int kFilledSpan = kScaleSpan - 2;

const QColor kLoopWrappedColor(50, 130, 50);
const QColor kColumnOdd(80, 250, 80);
const QColor kColumnEven(0, 170, 0);

int RoundedFraction(int span, int part, int whole) {
  return base::RoundHalfEven(static_cast<double>(span) * part / whole);
}

// The bar's column for a count of recorded buffers (tenths of a second).
int ColumnFor(std::uint32_t recordedBuffers, int timeScaleMinutes) {
  const double pixelsPerSecond = PixelsPerSecond(timeScaleMinutes);
  return base::RoundHalfEven(static_cast<double>(recordedBuffers) * pixelsPerSecond / 10.0);
}

void DrawColumn(QPainter& painter, int x, int height) {
  DrawLine(painter, x % 2 ? kColumnOdd : kColumnEven, x, 1, x, height - 1);
}

}  // namespace

const TimeScale& TimeScaleFor(int timeScaleMinutes) {
  for (const TimeScale& scale : kTimeScales) {
    if (scale.Minutes == timeScaleMinutes) return scale;
  }
  return kTimeScales.front();
}

float PixelsPerSecond(int timeScaleMinutes) {
  const int minutes = timeScaleMinutes > 0 ? timeScaleMinutes : kTimeScales.front().Minutes;
  return static_cast<float>(kFilledSpan / (minutes * 60.0));
}

QString TimeBarCaption(int timeScaleMinutes, const QString& recordingModeText) {
  if (timeScaleMinutes == 240 || timeScaleMinutes == 600) {
    return QStringLiteral("Time Recorded, hour");
  }
  return QStringLiteral("Recording Mode - ") + recordingModeText;
}

void DrawTimeBarFrame(QPainter& painter, const settings::WindowColors& colors,
                      const MainLayout& layout, int timeScaleMinutes,
                      const QString& recordingModeText) {
  AliasedPainting aliased(painter);
  const int left = layout.TimeBarLeft;
  const int right = layout.TimeBarLeft + layout.TimeBarWidth - 1;
  const int top = layout.TimeBarTop;
  const int bottom = layout.TimeBarBottom;
  for (int i = 1; i <= kBevelRings; ++i) {
    const QColor color = ToQColor(settings::BevelRing(colors, i));
    DrawLine(painter, color, left - i, top - i, right + i, top - i);
    DrawLine(painter, color, left - i, top - i, left - i, bottom + i - 1);
    DrawLine(painter, color, right + i, top - i, right + i, bottom + i);
  }
  for (int i = 1; i <= kBevelRings; ++i) {
    const QColor color = ToQColor(settings::BevelRing(colors, i));
    DrawLine(painter, color, left - i, bottom + i - 1, right + i, bottom + i - 1);
  }
  // Rows below the bevel where the old labels may still stand.
  const QColor base = ToQColor(settings::BevelRing(colors, kBevelRings));
  for (int d = kBevelRings + 1; d <= kBevelRings + 4; ++d) {
    DrawLine(painter, base, left - d + 3, bottom + d - 1, right + d, bottom + d - 1);
  }

  const QColor text = ToQColor(colors.TextColor);
  const TimeScale& scale = TimeScaleFor(timeScaleMinutes);
  const int n = scale.Intervals;
  for (int d = 0; d <= n; ++d) {
    const int x = left + RoundedFraction(right - left, d, n);
    DrawLine(painter, text, x, bottom, x, bottom + 7);
    QString label = QString::number(d * scale.Step);
    if (d < n) label += QLatin1String(scale.Unit);
    DrawTextAt(painter, text, x - scale.LabelOffset, bottom + 5, label);
  }
  DrawTextAt(painter, text, left + 140, top - 13,
             TimeBarCaption(timeScaleMinutes, recordingModeText));
}

QImage MakeTimeBarImage(const MainLayout& layout) {
  return QImage(layout.TimeBarWidth, layout.TimeBarHeight, QImage::Format_RGB32);
}

void DrawTimeBarBackground(QImage& timeBar, const capture::RecorderState& state,
                           const settings::WindowColors& colors) {
  const int width = timeBar.width();
  const int height = timeBar.height();
  const int span = width - 1;
  QPainter painter(&timeBar);
  AliasedPainting aliased(painter);
  const QColor background =
      state.LoopWrapped ? kLoopWrappedColor : ToQColor(settings::Shift(colors.BaseColor, -50));
  FillBox(painter, background, 0, 0, width, height);

  const QColor grid = ToQColor(colors.GridColor);
  for (int i = 1; i <= 60; ++i) {
    const int x = RoundedFraction(span, i, 60);
    DrawLine(painter, grid, x, 4, x, height - 4);
  }
  const int n = TimeScaleFor(state.TimeScaleMinutes).Intervals;
  for (int j = 0; j <= n; ++j) {
    const int x = RoundedFraction(span, j, n);
    DrawLine(painter, grid, x, 1, x, height - 1);
  }
}

bool DrawTimeBarColumn(QImage& timeBar, const capture::RecorderState& state,
                       TimeBarColumnShown& shown) {
  const int column = ColumnFor(state.RecordedBuffers, state.TimeScaleMinutes);
  if (column == shown.Column && timeBar.cacheKey() == shown.Image) return false;
  {
    QPainter painter(&timeBar);
    AliasedPainting aliased(painter);
    DrawColumn(painter, column, timeBar.height());
  }  // the image's key changes once the painter has ended
  shown = {column, timeBar.cacheKey()};
  return true;
}

void DrawTimeBar(QImage& timeBar, const capture::RecorderState& state,
                 const settings::WindowColors& colors) {
  DrawTimeBarBackground(timeBar, state, colors);
  if (state.RecordedBuffers == 0) return;
  const int columns =
      std::min(ColumnFor(state.RecordedBuffers, state.TimeScaleMinutes), timeBar.width() - 1);
  QPainter painter(&timeBar);
  AliasedPainting aliased(painter);
  for (int x = 1; x <= columns; ++x) DrawColumn(painter, x, timeBar.height());
}

}  // namespace tavrin::recorder_ui
