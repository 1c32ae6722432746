#include <QImage>
#include <QPainter>

#include "drawing_test_support.h"
#include "recorder_ui/drawing/frames.h"

namespace tavrin::recorder_ui::testing {
namespace {

constexpr Rgb kUntouched{255, 0, 255};

// Scheme 1 (120, 140, 180) with ring i = base + 6 x (i - 14).
Rgb Ring(int ring) {
  const int shift = 6 * (ring - 14);
  return {120 + shift, 140 + shift, 180 + shift};
}

QImage RenderFrames(int scheme) {
  QImage surface(464, 300, QImage::Format_RGB32);
  surface.fill(Qt::magenta);
  QPainter painter(&surface);
  DrawFrames(painter, settings::ColorsForScheme(scheme), LayoutMainWindow());
  return surface;
}

int CountColor(const QImage& image, const QRect& area, Rgb color) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) count += PixelAt(image, x, y) == color;
  }
  return count;
}

TEST(DrawFramesTest, BevelRingsDarkenOutwardsAndLinesStopBeforeTheirEnds) {
  const QImage s = RenderFrames(1);
  EXPECT_EQ(PixelAt(s, 100, 25), Ring(5));  // level meter top: row 30 - i
  EXPECT_EQ(PixelAt(s, 100, 16), Ring(14));
  EXPECT_EQ(PixelAt(s, 100, 15), kUntouched);
  EXPECT_EQ(PixelAt(s, 100, 46), Ring(1));  // bottom: row 46 + i - 1
  EXPECT_EQ(PixelAt(s, 100, 40), kUntouched);
  EXPECT_EQ(PixelAt(s, 245, 75), Ring(5));  // DC meter corner
  EXPECT_EQ(PixelAt(s, 17, 208), Ring(1));  // chart side: rows 134..208
  EXPECT_EQ(PixelAt(s, 17, 209), kUntouched);
  EXPECT_EQ(PixelAt(s, 17, 243), Ring(1));  // time-bar left side: rows 227..243
  EXPECT_EQ(PixelAt(s, 17, 244), kUntouched);
  EXPECT_EQ(PixelAt(s, 443, 244), Ring(1));  // the right side reaches one row lower
  EXPECT_EQ(PixelAt(s, 443, 245), kUntouched);
  // Volume wedge, ring 14: (18, 83)-(137, 80) and (18, 93)-(129, 97).
  EXPECT_EQ(PixelAt(s, 18, 88), Ring(1));
  EXPECT_EQ(PixelAt(s, 18, 83), Ring(14));
  EXPECT_EQ(PixelAt(s, 136, 80), Ring(14));
  EXPECT_EQ(PixelAt(s, 137, 80), kUntouched);
  EXPECT_EQ(PixelAt(s, 128, 97), Ring(14));
  EXPECT_EQ(PixelAt(s, 129, 97), kUntouched);
}

TEST(DrawFramesTest, CaptionsAndTicksInTextColourBlackOnlyOnTheSilverScheme) {
  const QRect levelCaption(178, 17, 140, 13);
  const QRect dcCaption(270, 67, 80, 13);
  const QImage silver = RenderFrames(5);
  EXPECT_GT(CountColor(silver, levelCaption, {0, 0, 0}), 20);
  EXPECT_GT(CountColor(silver, dcCaption, {0, 0, 0}), 10);
  const QImage blueGrey = RenderFrames(1);
  const Rgb light{240, 240, 240};
  EXPECT_EQ(CountColor(blueGrey, levelCaption, {0, 0, 0}), 0);
  EXPECT_GT(CountColor(blueGrey, levelCaption, light), 20);
  EXPECT_EQ(PixelAt(blueGrey, 60, 46), light);  // level tick 18 + 424 / 10
  EXPECT_EQ(PixelAt(blueGrey, 442, 45), kUntouched);
  EXPECT_EQ(PixelAt(blueGrey, 268, 96), light);  // DC tick 250 + 90 / 5
}

TEST(KnobOutlineTest, RoundedOutlineInGreyOrLightGrey) {
  for (bool highlighted : {false, true}) {
    QImage knob(11, 20, QImage::Format_Indexed8);  // converted to 32 bits on the way
    knob.setColorTable({qRgb(10, 20, 30)});
    knob.fill(0);
    DrawKnobOutline(knob, highlighted);
    const Rgb pen = highlighted ? Rgb(192, 192, 192) : Rgb(128, 128, 128);
    for (auto [x, y] : {std::pair{2, 1}, {7, 1}, {1, 2}, {8, 16}, {4, 17}}) {
      EXPECT_EQ(PixelAt(knob, x, y), pen) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{1, 1}, {8, 17}, {9, 9}, {4, 18}, {4, 9}}) {
      EXPECT_EQ(PixelAt(knob, x, y), Rgb(10, 20, 30)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace tavrin::recorder_ui::testing
