#pragma once
// The level chart: a history of per-buffer levels (slot 1 newest) and the
// three chart series refilled from it after each buffer while recording.

#include <QColor>
#include <QList>
#include <QPoint>
#include <array>
#include <cstdint>

#include "capture/recorder_state.h"
#include "recorder_ui/drawing/layout.h"
#include "settings/color_schemes.h"

namespace tavrin::recorder_ui {

inline constexpr int kLevelHistorySlots = 600;

// Levels are in chart pixels; clip entries are the clip holds (30 = the buffer that clipped).
struct LevelHistory {
  std::array<std::int32_t, kLevelHistorySlots + 1> Left{}, Right{}, ClipLeft{}, ClipRight{};
};

// One series of the chart: points in chart units (x 0 .. chart width to the
// right, y 0 .. chart height upwards) and the colour they are drawn in.
struct ChartSeries {
  QList<QPoint> Points;
  QColor Color;
};

void ClearLevelHistory(LevelHistory& history);
// Moves slots 1..ChartWidth - 1 one slot up and stores the newest buffer in slot 1.
void PushLevelHistory(LevelHistory& history, const capture::RecorderState& state,
                      const MainLayout& layout);
// Series1 left, Series2 right, Series3 a clip point at (i + 1, chart height)
// for each slot i whose left clip hold is exactly 30. Null series are skipped.
// True when a series changed, so the chart has to be drawn again.
bool DrawLevelChart(const LevelHistory& history, const MainLayout& layout, ChartSeries* series1,
                    ChartSeries* series2, ChartSeries* series3);

// Trace colours of the scheme; the clip marks are red.
void ApplySeriesColors(const settings::WindowColors& colors, ChartSeries* series1,
                       ChartSeries* series2, ChartSeries* series3);
QColor ChartBackgroundColor(const settings::WindowColors& colors);  // base - 40

}  // namespace tavrin::recorder_ui
