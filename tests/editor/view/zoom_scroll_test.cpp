// Zoom limits, the initial zoom, the one-step zoom on resize, the scroll bar
// and an empty document.

#include "view_test_support.h"

namespace tavrin::editor::testing {
namespace {

TEST(Zoom, InitialZoomIsTheFinestThatShowsTheWholeDocument) {
  // In 700 columns: 600 buffers fit at one a column, 1400 are two more than
  // 699 columns x 2 buffers, and ten hours are more than 699 x 512.
  const std::pair<std::uint32_t, int> cases[] = {
      {600, 1}, {1400, 3}, {capture::kTenHoursBuffers, 10}};
  for (const auto& [length, zoom] : cases) {
    ViewRig rig(length);
    rig.View.ChooseInitialZoom();
    EXPECT_EQ(rig.View.ZoomIndex, zoom) << length << " buffers";
  }
}

TEST(Zoom, ButtonsStopAtTheirLimits) {
  ViewRig rig(2000);
  EXPECT_FALSE(rig.View.ZoomIn());   // "+" at 1
  EXPECT_TRUE(rig.View.ZoomOut());   // 699 < 2000
  EXPECT_TRUE(rig.View.ZoomOut());   // 1398 < 2000
  EXPECT_FALSE(rig.View.ZoomOut());  // 2796: the view reaches the end
  EXPECT_EQ(rig.View.ZoomIndex, 3);
  rig.View.ViewOffset = 800;  // 4 x 699 + 800 is still past the end
  EXPECT_FALSE(rig.View.ZoomOut());
  EXPECT_EQ(rig.View.ViewOffset, 800u);  // zooming keeps the offset
  EXPECT_TRUE(rig.View.ZoomIn());
  EXPECT_EQ(rig.View.ZoomIndex, 2);

  ViewRig huge(400000);  // more than 699 x 512
  huge.View.ZoomIndex = 10;
  EXPECT_FALSE(huge.View.ZoomOut());
  EXPECT_EQ(huge.View.ZoomIndex, 10);
}

TEST(Zoom, ResizeGoesOneStepFinerPerResize) {
  ViewRig rig(1000);
  rig.View.ZoomIndex = 4;  // 8 buffers per column
  rig.Layout(700);
  EXPECT_TRUE(rig.View.ResizeZoomStep());  // 1000 < 8 x 699 / 2
  EXPECT_EQ(rig.View.ZoomIndex, 3);
  rig.Layout(710);
  EXPECT_TRUE(rig.View.ResizeZoomStep());  // 1000 < 4 x 709 / 2
  EXPECT_EQ(rig.View.ZoomIndex, 2);
  rig.Layout(720);
  EXPECT_FALSE(rig.View.ResizeZoomStep());  // 2 x 719 / 2 = 719
  EXPECT_EQ(rig.View.ZoomIndex, 2);
  rig.Layout(2100);
  EXPECT_TRUE(rig.View.ResizeZoomStep());
  EXPECT_FALSE(rig.View.ResizeZoomStep());  // already at 1
}

TEST(ScrollBar, PageAndPositionFollowZoomAndOffset) {
  ViewRig rig(10000);
  ScrollBarSettings bar = rig.View.SyncScrollBar();
  EXPECT_TRUE(bar.Enabled);
  EXPECT_EQ(bar.Page, 699);
  EXPECT_EQ(bar.Position, 0);
  EXPECT_EQ(bar.Maximum, 10000 - 699);

  rig.View.ScrollChanged(5000);
  EXPECT_EQ(rig.View.ViewOffset, 5000u);
  rig.View.ZoomIndex = 3;
  rig.View.ScrollChanged(3333);  // 4 x nearest(10000 x 3333 / 40000) = 4 x 833
  EXPECT_EQ(rig.View.ViewOffset, 3332u);
  bar = rig.View.SyncScrollBar();
  EXPECT_EQ(bar.Page, 2796);
  EXPECT_EQ(bar.Position, 3332);
  EXPECT_EQ(bar.SmallStep, 4);
  EXPECT_EQ(bar.LargeStep, 40);

  rig.View.ZoomIndex = 5;  // 16 x 699 covers the document
  EXPECT_EQ(rig.View.SyncScrollBar().Page, 10000);
}

TEST(EmptyDocument, DisabledScrollBarAndNothingToSelectOrDraw) {
  ViewRig rig(0);
  rig.View.ChooseInitialZoom();
  EXPECT_EQ(rig.View.ZoomIndex, 1);
  const ScrollBarSettings bar = rig.View.SyncScrollBar();
  EXPECT_FALSE(bar.Enabled);
  EXPECT_EQ(bar.Position, 0);
  rig.View.ScrollChanged(7000);
  EXPECT_EQ(rig.View.ViewOffset, 0u);
  EXPECT_FALSE(rig.View.ZoomOut());
  EXPECT_FALSE(rig.Press(kL + 10).FullRedraw);

  const OverviewMarks marks = rig.View.DrawWaveform();
  EXPECT_EQ(marks.Band.width(), 0);
  const QImage& wave = rig.View.WaveBitmap();
  for (int x : {1, 300, 699}) {
    for (int y : {0, kH / 4, kH - 1}) EXPECT_EQ(PixelAt(wave, x, y), kBase) << x << "," << y;
  }
  EXPECT_FALSE(rig.View.PlayCursorAt(false, 0).Visible);
  EXPECT_EQ(rig.View.PlayCursorAt(true, 0).LineX, -1);  // column L: not strictly inside
}

TEST(PlayCursor, LineInsideTheViewOrOutOfSight) {
  ViewRig rig(1000);
  const PlayCursor inside = rig.View.PlayCursorAt(true, 500);
  EXPECT_TRUE(inside.Visible);
  EXPECT_EQ(inside.LineX, kL + 500);
  EXPECT_EQ(inside.LineTop, rig.View.Geometry().T + 1);
  EXPECT_EQ(rig.View.PlayCursorAt(true, 250).MarkerLeft, 175 + kL - 8);  // 250 x 699 / 1000
  EXPECT_EQ(rig.View.PlayCursorAt(true, 800).LineX, -1);                 // right of R
  rig.View.ViewOffset = 600;
  EXPECT_EQ(rig.View.PlayCursorAt(true, 500).LineX, -1);  // left of L
  EXPECT_FALSE(rig.View.PlayCursorAt(false, 500).Visible);
}

}  // namespace
}  // namespace tavrin::editor::testing
