#pragma once
// The level chart: a history of per-buffer levels (slot 1 newest) and the
// three chart series refilled from it after each buffer while recording.

#include <QColor>
#include <array>
#include <cstdint>

#include "capture/recorder_state.h"
#include "recorder_ui/drawing/layout.h"
#include "settings/color_schemes.h"

QT_BEGIN_NAMESPACE
class QLineSeries;
class QScatterSeries;
QT_END_NAMESPACE

namespace tavrin::recorder_ui {

inline constexpr int kLevelHistorySlots = 600;

// Levels are in chart pixels; clip entries are the clip holds (30 = the buffer that clipped).
struct LevelHistory {
  std::array<std::int32_t, kLevelHistorySlots + 1> Left{}, Right{}, ClipLeft{}, ClipRight{};
};

void ClearLevelHistory(LevelHistory& history);
// Moves slots 1..ChartWidth - 1 one slot up and stores the newest buffer in slot 1.
void PushLevelHistory(LevelHistory& history, const capture::RecorderState& state,
                      const MainLayout& layout);
// Series1 left, Series2 right, Series3 a clip point at (i + 1, chart height)
// for each slot i whose left clip hold is exactly 30. Null series are skipped.
void DrawLevelChart(const LevelHistory& history, const MainLayout& layout, QLineSeries* series1,
                    QLineSeries* series2, QScatterSeries* series3);

// Trace colours of the scheme, and the clip marks as small red circles.
void ApplySeriesColors(const settings::WindowColors& colors, QLineSeries* series1,
                       QLineSeries* series2, QScatterSeries* series3);
QColor ChartBackgroundColor(const settings::WindowColors& colors);  // base - 40

}  // namespace tavrin::recorder_ui
