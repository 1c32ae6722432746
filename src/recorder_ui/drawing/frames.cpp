#include "recorder_ui/drawing/frames.h"

#include "base/samples.h"
#include "capture/signal_processing.h"
#include "drawing/raster.h"

namespace tavrin::recorder_ui {

using namespace drawing;

namespace {

constexpr int kVolumeTrackLeft = 18;
constexpr int kVolumeTrackEnd = 133;
constexpr int kVolumeTrackMidY = 88;

// Four sides of ring i around an area; the right side reaches one row lower.
void DrawRing(QPainter& painter, const QColor& color, int ring, int x0, int y0, int x1, int y1) {
  DrawLine(painter, color, x0 - ring, y0 - ring, x1 + ring, y0 - ring);
  DrawLine(painter, color, x0 - ring, y1 + ring - 1, x1 + ring, y1 + ring - 1);
  DrawLine(painter, color, x0 - ring, y0 - ring, x0 - ring, y1 + ring - 1);
  DrawLine(painter, color, x1 + ring, y0 - ring, x1 + ring, y1 + ring);
}

// Ring i of the volume track: a wedge widening towards the right.
void DrawVolumeWedge(QPainter& painter, const QColor& color, int ring) {
  const int innerRise = base::RoundHalfEven(ring / 3.0);
  const int outerRise = base::RoundHalfEven(2.0 * ring / 3.0);
  DrawLine(painter, color, kVolumeTrackLeft, kVolumeTrackMidY - innerRise,
           kVolumeTrackEnd + ring / 3, kVolumeTrackMidY - outerRise + 1);
  DrawLine(painter, color, kVolumeTrackLeft, kVolumeTrackMidY + innerRise,
           kVolumeTrackEnd - ring / 3, kVolumeTrackMidY + outerRise);
}

void DrawBevels(QPainter& painter, const settings::WindowColors& colors, const MainLayout& l) {
  const int timeBarRight = l.TimeBarLeft + l.TimeBarWidth - 1;
  for (int i = 1; i <= kBevelRings; ++i) {
    const QColor color = ToQColor(settings::BevelRing(colors, i));
    DrawRing(painter, color, i, l.LevelX0, l.LevelY0, l.LevelX1, l.LevelY1);
    DrawVolumeWedge(painter, color, i);
    DrawRing(painter, color, i, l.DcX0, l.DcY0, l.DcX1, l.DcY1);
    const int chartBottom = l.ChartTop + l.ChartHeight;
    DrawLine(painter, color, l.LevelX0 - i, l.ChartTop, l.LevelX0 - i, chartBottom);
    DrawLine(painter, color, l.LevelX1 + i, l.ChartTop, l.LevelX1 + i, chartBottom);
    DrawLine(painter, color, l.TimeBarLeft - i, l.TimeBarTop - i, l.TimeBarLeft - i,
             l.TimeBarBottom + i - 1);
    DrawLine(painter, color, timeBarRight + i, l.TimeBarTop - i, timeBarRight + i,
             l.TimeBarBottom + i);
  }
}

void DrawScales(QPainter& painter, const QColor& text, const MainLayout& l) {
  DrawTextAt(painter, text, l.LevelX0 + 160, l.LevelY0 - 13,
             QStringLiteral("Input Signal Level, %"));
  DrawTextAt(painter, text, l.DcX0 + 20, l.DcY0 - 13, QStringLiteral("DC Offset, %"));
  for (int i = 0; i <= 10; ++i) {
    const int x = l.LevelX0 + i * (l.LevelX1 - l.LevelX0) / 10;
    DrawLine(painter, text, x, l.LevelY1, x, l.LevelY1 + 3);
    DrawTextAt(painter, text, x - 6, l.LevelY1 + 1, QString::number(i * 10));
  }
  for (int i = 0; i <= 5; ++i) {
    const int x = l.DcX0 + i * (l.DcX1 - l.DcX0) / 5;
    DrawLine(painter, text, x, l.DcY1, x, l.DcY1 + 3);
    DrawTextAt(painter, text, x - 6, l.DcY1 + 1, QString::number(i * 2));
  }
}

}  // namespace

void DrawFrames(QPainter& painter, const settings::WindowColors& colors, const MainLayout& layout) {
  AliasedPainting aliased(painter);
  DrawBevels(painter, colors, layout);
  DrawScales(painter, ToQColor(colors.TextColor), layout);
}

void DrawKnobOutline(QImage& knob, bool highlighted) {
  DrawHandleOutline(knob, highlighted);
}

}  // namespace tavrin::recorder_ui
