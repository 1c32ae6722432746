#pragma once
// The bevelled frames, captions and scales painted on the recorder window's
// own surface, and the outline of the recording-volume knob.

#include <QImage>
#include <QPainter>

#include "recorder_ui/drawing/layout.h"
#include "settings/color_schemes.h"

namespace tavrin::recorder_ui {

inline constexpr int kBevelRings = 14;

// Bevels of the level meter, volume track, DC meter, chart and time-bar
// sides; the two meter captions and their scales.
void DrawFrames(QPainter& painter, const settings::WindowColors& colors, const MainLayout& layout);

// On the knob picture (11 x 20); converts an indexed picture to 32 bits first.
void DrawKnobOutline(QImage& knob, bool highlighted);

}  // namespace tavrin::recorder_ui
