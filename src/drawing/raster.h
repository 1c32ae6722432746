#pragma once
// Pixel-exact primitives shared by the windows' own drawing (the recorder's
// meters and frames, the editor's waveform view): every shape is filled
// through axis-aligned rectangles, so nothing depends on the painter's line
// rasteriser or antialiasing. Lines include their start point
// and exclude their end point; boxes cover x0..x1 - 1 by y0..y1 - 1.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include "settings/color_schemes.h"

namespace tavrin::drawing {

QColor ToQColor(settings::ColorRef color);

// The captions' font: 12-pixel CJK-capable, glyphs without antialiasing.
QFont MeterFont();

// Saves the painter's state and turns antialiasing off for the scope.
class AliasedPainting {
public:
  explicit AliasedPainting(QPainter& painter);
  ~AliasedPainting();
  AliasedPainting(const AliasedPainting&) = delete;
  AliasedPainting& operator=(const AliasedPainting&) = delete;

private:
  QPainter& m_painter;
};

void DrawLine(QPainter& painter, const QColor& color, int x0, int y0, int x1, int y1);
void FillBox(QPainter& painter, const QColor& color, int x0, int y0, int x1, int y1);
// Text whose character cell starts at (x, y), as a window's text-out places it.
void DrawTextAt(QPainter& painter, const QColor& color, int x, int y, const QString& text);

// The outline of a slider's handle picture (11 x 20: the recording-volume
// knob, the playback-volume handle); converts an indexed picture to 32 bits
// first.
void DrawHandleOutline(QImage& handle, bool highlighted);

}  // namespace tavrin::drawing
