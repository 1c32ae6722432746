#include "recorder_ui/drawing/level_history.h"

#include <algorithm>
#include <utility>

#include "base/samples.h"
#include "capture/signal_processing.h"
#include "drawing/raster.h"

namespace tavrin::recorder_ui {

using namespace drawing;

namespace {

int ShownSlots(const MainLayout& layout) {
  return std::clamp(layout.ChartWidth, 0, kLevelHistorySlots);
}

// Slots 1..shown - 1 move one slot up; the old slot `shown` falls off.
void ShiftUp(std::array<std::int32_t, kLevelHistorySlots + 1>& entries, int shown) {
  if (shown < 2) return;
  std::copy_backward(entries.begin() + 1, entries.begin() + shown, entries.begin() + shown + 1);
}

std::int32_t ChartLevel(std::int16_t max, double mean, float chartScale) {
  return base::RoundHalfEven((max - mean) * static_cast<double>(chartScale));
}

}  // namespace

void ClearLevelHistory(LevelHistory& history) {
  history = LevelHistory{};
}

void PushLevelHistory(LevelHistory& history, const capture::RecorderState& state,
                      const MainLayout& layout) {
  const int shown = ShownSlots(layout);
  if (shown < 1) return;
  for (auto* entries : {&history.Left, &history.Right, &history.ClipLeft, &history.ClipRight}) {
    ShiftUp(*entries, shown);
  }
  history.Left[1] = ChartLevel(state.MaxLeft, state.MeanLeft, layout.ChartScale);
  history.Right[1] = ChartLevel(state.MaxRight, state.MeanRight, layout.ChartScale);
  history.ClipLeft[1] = state.ClipHoldLeft;
  history.ClipRight[1] = state.ClipHoldRight;
}

bool DrawLevelChart(const LevelHistory& history, const MainLayout& layout, ChartSeries* series1,
                    ChartSeries* series2, ChartSeries* series3) {
  const int shown = ShownSlots(layout);
  QList<QPoint> left, right, clips;
  left.reserve(shown);
  right.reserve(shown);
  for (int i = 1; i <= shown; ++i) {
    left.append(QPoint(i, history.Left[i]));
    right.append(QPoint(i, history.Right[i]));
    if (history.ClipLeft[i] == capture::kClipHoldBuffers) {
      clips.append(QPoint(i + 1, layout.ChartHeight));
    }
  }
  // A series that would show the same points is left alone (silence, no clips).
  bool changed = false;
  for (auto [series, points] :
       {std::pair{series1, &left}, std::pair{series2, &right}, std::pair{series3, &clips}}) {
    if (series == nullptr || series->Points == *points) continue;
    series->Points = std::move(*points);
    changed = true;
  }
  return changed;
}

void ApplySeriesColors(const settings::WindowColors& colors, ChartSeries* series1,
                       ChartSeries* series2, ChartSeries* series3) {
  if (series1) series1->Color = ToQColor(colors.Series1Color);
  if (series2) series2->Color = ToQColor(colors.Series2Color);
  if (series3) series3->Color = Qt::red;
}

QColor ChartBackgroundColor(const settings::WindowColors& colors) {
  return ToQColor(settings::Shift(colors.BaseColor, -40));
}

}  // namespace tavrin::recorder_ui
