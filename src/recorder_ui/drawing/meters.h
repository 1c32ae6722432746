#pragma once
// The level meter and the DC offset meter, composed on off-screen bitmaps that
// the window copies to (LevelX0, LevelY0) and (DcX0, DcY0) in one operation.

#include <QImage>
#include <cstdint>

#include "capture/recorder_state.h"
#include "recorder_ui/drawing/layout.h"
#include "settings/color_schemes.h"

namespace tavrin::recorder_ui {

// Peak marker position per channel, in bitmap pixels.
struct PeakHold {
  std::int32_t Left = 0, Right = 0;
};

QImage MakeLevelMeterBitmap(const MainLayout& layout);                    // 425 x 16
QImage MakeDcMeterBitmap(const MainLayout& layout = LayoutMainWindow());  // 91 x 16

// Fills a meter bitmap with base - 50 (device changed or lost).
void ClearMeterBitmap(QImage& bitmap, const settings::WindowColors& colors);

// Bar length in pixels of a channel: round((max - round(mean)) x level scale).
int LevelBarLength(std::int16_t max, double mean, float levelScale);
// Draws nothing unless DeviceOpen; otherwise ends with the peak markers' decay.
void DrawLevelMeter(QImage& bitmap, const capture::RecorderState& state, PeakHold& peakHold,
                    const settings::WindowColors& colors, const MainLayout& layout);

// |round(value x DC scale)|, at most maxLength.
int DcBarLength(double value, float dcScale, int maxLength);
// Shows DcMeterLeft/Right while the DC reduction box is checked, the means otherwise.
void DrawDcMeter(QImage& bitmap, const capture::RecorderState& state, bool dcReductionChecked,
                 const settings::WindowColors& colors, const MainLayout& layout);

}  // namespace tavrin::recorder_ui
