#pragma once
// The time-recorded bar: its frame with scale and caption on the window
// surface, and the progress picture (ImageTime) below it.

#include <QImage>
#include <QPainter>
#include <QString>

#include "capture/recorder_state.h"
#include "recorder_ui/drawing/layout.h"
#include "settings/color_schemes.h"

namespace tavrin::recorder_ui {

struct TimeScale {
  int Minutes, Intervals, Step, LabelOffset;
  const char* Unit;
};

// Unknown minutes give the 3-minute row.
const TimeScale& TimeScaleFor(int timeScaleMinutes);
float PixelsPerSecond(int timeScaleMinutes);
QString TimeBarCaption(int timeScaleMinutes, const QString& recordingModeText);

void DrawTimeBarFrame(QPainter& painter, const settings::WindowColors& colors,
                      const MainLayout& layout, int timeScaleMinutes,
                      const QString& recordingModeText);

QImage MakeTimeBarImage(const MainLayout& layout);  // 425 x 17
// Green when a loop take has wrapped, base - 50 otherwise; minute and scale ticks.
void DrawTimeBarBackground(QImage& timeBar, const capture::RecorderState& state,
                           const settings::WindowColors& colors);
// The column last drawn, and the picture's cache key right after, so that a
// buffer that falls in the same column draws nothing.
struct TimeBarColumnShown {
  int Column = -1;
  qint64 Image = 0;
};
// The column of the buffer last recorded. Returns whether the picture changed.
bool DrawTimeBarColumn(QImage& timeBar, const capture::RecorderState& state,
                       TimeBarColumnShown& shown);
void DrawTimeBar(QImage& timeBar, const capture::RecorderState& state,
                 const settings::WindowColors& colors);

}  // namespace tavrin::recorder_ui
