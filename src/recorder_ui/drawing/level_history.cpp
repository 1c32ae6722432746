#include "recorder_ui/drawing/level_history.h"

#include <QLineSeries>
#include <QList>
#include <QPointF>
#include <QScatterSeries>
#include <algorithm>

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
  return capture::RoundHalfEven((max - mean) * static_cast<double>(chartScale));
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

void DrawLevelChart(const LevelHistory& history, const MainLayout& layout, QLineSeries* series1,
                    QLineSeries* series2, QScatterSeries* series3) {
  const int shown = ShownSlots(layout);
  QList<QPointF> left, right, clips;
  left.reserve(shown);
  right.reserve(shown);
  for (int i = 1; i <= shown; ++i) {
    left.append(QPointF(i, history.Left[i]));
    right.append(QPointF(i, history.Right[i]));
    if (history.ClipLeft[i] == capture::kClipHoldBuffers) {
      clips.append(QPointF(i + 1, layout.ChartHeight));
    }
  }
  // One replace per series instead of clear and append, so the chart redraws
  // once; a series that would show the same points is left alone (silence, no clips).
  if (series1 && series1->points() != left) series1->replace(left);
  if (series2 && series2->points() != right) series2->replace(right);
  if (series3 && series3->points() != clips) series3->replace(clips);
}

void ApplySeriesColors(const settings::WindowColors& colors, QLineSeries* series1,
                       QLineSeries* series2, QScatterSeries* series3) {
  if (series1) series1->setColor(ToQColor(colors.Series1Color));
  if (series2) series2->setColor(ToQColor(colors.Series2Color));
  if (series3) {
    series3->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series3->setMarkerSize(2.0);
    series3->setColor(Qt::red);
    series3->setBorderColor(Qt::red);
  }
}

QColor ChartBackgroundColor(const settings::WindowColors& colors) {
  return ToQColor(settings::Shift(colors.BaseColor, -40));
}

}  // namespace tavrin::recorder_ui
