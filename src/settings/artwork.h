#pragma once
// Small pictures drawn in code: the recording-volume knob of each colour
// scheme and the two glyphs of the source button.

#include <QImage>

namespace tavrin::settings {

// 11 x 20 (scheme 3: 11 x 21), opaque: a bevelled upright bar in the scheme's
// tint with a dark groove near its foot. A scheme outside 1..5 draws scheme 1's.
QImage KnobPicture(int scheme);

// 16 x 16 with a transparent background: mixer faders.
QImage SourceGlyphXp();

// 16 x 16 with a transparent background: a loudspeaker.
QImage SourceGlyphVista();

}  // namespace tavrin::settings
