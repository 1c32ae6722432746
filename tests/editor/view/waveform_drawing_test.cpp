// Pixel checks of a few waveform columns of known peak tables, the ruler,
// the incremental redraw against the full one, the meter and the frame.

#include <QPainter>

#include "view_test_support.h"

namespace tavrin::editor::testing {
namespace {

// Rows of a 450-row wave part: zero lines at 112 and 337, divider at 225;
// 442 / 131068 pixels per sample unit, so 16384 is 55 rows, 8192 is 28,
// -32768 is 111 and 32767 is 110.
constexpr Rgb kZeroLine{130, 130, 130};
constexpr Rgb kDivider{170, 170, 170};
constexpr Rgb kCursor{100, 100, 255};
constexpr Rgb kText{240, 240, 240};  // scheme 1's light text

TEST(WaveformColumns, KnownPeaksAtZoomOne) {
  ViewRig rig(600);
  rig.SetPeaks(50, 16384, -16384, 8192, -32768);
  rig.Document.CursorPos = 300;
  rig.View.DrawWaveform();
  const QImage& wave = rig.View.WaveBitmap();

  EXPECT_EQ(PixelAt(wave, 50, 56), kUnselectedBackground);
  EXPECT_EQ(PixelAt(wave, 50, 57), kWave);  // 112 - 55
  EXPECT_EQ(PixelAt(wave, 50, 166), kWave);
  EXPECT_EQ(PixelAt(wave, 50, 167), kUnselectedBackground);  // the minimum's row is left out
  EXPECT_EQ(PixelAt(wave, 50, 112), kZeroLine);
  EXPECT_EQ(PixelAt(wave, 50, 309), kWave);  // 337 - 28
  EXPECT_EQ(PixelAt(wave, 50, 447), kWave);  // up to 337 + 111
  EXPECT_EQ(PixelAt(wave, 50, 448), kUnselectedBackground);
  EXPECT_EQ(PixelAt(wave, 50, 449), kBase);  // unselected columns keep rows 0 and h - 1
  EXPECT_EQ(PixelAt(wave, 50, 0), kBase);
  EXPECT_EQ(PixelAt(wave, 50, 225), kDivider);
  EXPECT_EQ(PixelAt(wave, 50, 224), kZeroLine);
  EXPECT_EQ(PixelAt(wave, 50, 226), kZeroLine);
  EXPECT_EQ(PixelAt(wave, 51, 57), kUnselectedBackground);  // silent buffer

  // 600 buffers in 700 columns: the columns past the end keep the window's colour.
  EXPECT_EQ(PixelAt(wave, 600, 1), kUnselectedBackground);
  EXPECT_EQ(PixelAt(wave, 601, 1), kBase);
  EXPECT_EQ(PixelAt(wave, 650, 112), kBase);
  EXPECT_EQ(PixelAt(wave, 0, 112), kBase);

  // The dotted cursor line: three on, three off from row 1.
  EXPECT_EQ(PixelAt(wave, 300, 1), kCursor);
  EXPECT_EQ(PixelAt(wave, 300, 3), kCursor);
  EXPECT_EQ(PixelAt(wave, 300, 4), kUnselectedBackground);
  EXPECT_EQ(PixelAt(wave, 300, 7), kCursor);

  // A paint event lays out again and shows the picture it has.
  rig.Layout(700);
  EXPECT_EQ(PixelAt(rig.View.WaveBitmap(), 50, 57), kWave);

  rig.Select(40, 60);
  const OverviewMarks marks = rig.View.DrawWaveform();
  EXPECT_EQ(PixelAt(wave, 50, 0), kSelectedBackground);
  EXPECT_EQ(PixelAt(wave, 50, 449), kSelectedBackground);
  EXPECT_EQ(PixelAt(wave, 50, 57), kSelectedWave);
  EXPECT_EQ(PixelAt(wave, 61, 0), kBase);
  EXPECT_EQ(rig.View.ColumnSelected()[50], 1);
  EXPECT_EQ(rig.View.ColumnSelected()[61], 0);
  // Overview band: left nearest(39 x 699 / 600) + L, width nearest(20 x 699 / 600).
  EXPECT_EQ(marks.Band.left(), 45 + kL);
  EXPECT_EQ(marks.Band.width(), 23);
}

TEST(WaveformColumns, ColumnShowsTheDocumentsBuffersOnly) {
  ViewRig rig(16);
  // Buffers 3..8 of the source were cut: the document is source 1, 2, 9..14.
  ASSERT_TRUE(SetLevelRows(rig.Document, 0, {{1, 2, 1, true}, {3, 6, 9, true}}));
  rig.Document.LevelLength[0] = 8;
  rig.View.ZoomIndex = 3;           // 4 buffers per column
  rig.SetPeaks(8, 32767, 0, 0, 0);  // cut audio
  rig.SetPeaks(2, 16384, 0, 0, 0);
  rig.Document.CursorPos = 1;  // column 0, out of the way
  rig.View.DrawWaveform();
  const QImage& wave = rig.View.WaveBitmap();
  // Column 1 holds source 1, 2, 9, 10: the loudest is buffer 2, not the cut 8.
  EXPECT_EQ(PixelAt(wave, 1, 57), kWave);
  EXPECT_EQ(PixelAt(wave, 1, 56), kUnselectedBackground);
  EXPECT_EQ(PixelAt(wave, 2, 57), kUnselectedBackground);
  EXPECT_EQ(PixelAt(wave, 3, 1), kBase);  // past the end

  // At zoom 4 a column adds up its four buffers.
  ViewRig loud(40);
  loud.View.ZoomIndex = 3;
  loud.SetPeaks(6, 32767, -32768, 0, 0);
  loud.Document.CursorPos = 40;
  loud.View.DrawWaveform();
  EXPECT_EQ(PixelAt(loud.View.WaveBitmap(), 2, 2), kWave);    // 112 - 110
  EXPECT_EQ(PixelAt(loud.View.WaveBitmap(), 2, 222), kWave);  // 112 + 111 - 1
  EXPECT_EQ(PixelAt(loud.View.WaveBitmap(), 1, 2), kUnselectedBackground);
  EXPECT_EQ(PixelAt(loud.View.WaveBitmap(), 3, 2), kUnselectedBackground);
}

TEST(WaveformColumns, DragRepaintsMatchAFullRedraw) {
  ViewRig rig(600);
  for (std::uint32_t b = 1; b <= 600; ++b) {
    const int level = static_cast<int>((b * 7919) % 30000);
    rig.SetPeaks(b, level, -level / 2, level / 3, -level);
  }
  rig.Press(kL + 100);
  rig.View.DrawWaveform();
  for (int x : {200, 160, 260, 120}) {
    ASSERT_TRUE(rig.Drag(kL + x).IncrementalRedraw);
    rig.View.RedrawChangedColumns();
  }
  ASSERT_EQ(rig.Selection(), std::pair(120u, 260u));
  const QImage dragged = rig.View.WaveBitmap().copy();
  const std::vector<std::uint8_t> flags = rig.View.ColumnSelected();
  rig.View.DrawWaveform();
  const QImage full = rig.View.WaveBitmap();
  const int cursorColumn = rig.View.ColumnOf(rig.Document.CursorPos) - kL;
  for (int x = 0; x < full.width(); ++x) {
    if (x == cursorColumn) continue;  // only the full redraw draws the cursor line
    for (int y = 0; y < kH; ++y) {
      ASSERT_EQ(PixelAt(dragged, x, y), PixelAt(full, x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(flags, rig.View.ColumnSelected());
}

TEST(Ruler, LabelsStayWithTheirAbsoluteColumnsWhileScrolling) {
  ViewRig rig(20000);
  rig.View.DrawWaveform();
  const QRect atStart(100, kH + 1, 60, 24);
  const QImage first = rig.View.WaveBitmap().copy(atStart);
  EXPECT_EQ(PixelAt(rig.View.WaveBitmap(), 100, kH + 8), kText);  // long tick every 100
  EXPECT_EQ(PixelAt(rig.View.WaveBitmap(), 110, kH + 3), kText);  // short tick every 10
  EXPECT_NE(PixelAt(rig.View.WaveBitmap(), 110, kH + 6), kText);
  EXPECT_NE(PixelAt(rig.View.WaveBitmap(), 105, kH + 3), kText);
  int textPixels = 0;
  for (int x = 0; x < first.width(); ++x) {
    for (int y = 12; y < first.height(); ++y) textPixels += PixelAt(first, x, y) == kText;
  }
  EXPECT_GT(textPixels, 20);  // "00:00:10"

  rig.View.ViewOffset = 30;
  rig.View.DrawWaveform();
  EXPECT_EQ(rig.View.WaveBitmap().copy(atStart.translated(-30, 0)), first);
}

TEST(Meter, BarsHoldsAndTheirFall) {
  ViewRig rig(10);
  constexpr Rgb kBarEven{0, 255, 0};
  constexpr Rgb kBarOdd{0, 170, 0};
  constexpr Rgb kHold{60, 235, 60};
  rig.State.MaxLeft = 16384;  // nearest(16384 x 450 / 32767) = 225 rows
  rig.State.MaxRight = 0;
  rig.View.DrawMeter();
  const QImage& meter = rig.View.MeterBitmap();
  EXPECT_EQ(PixelAt(meter, 5, 449), kBarEven);
  EXPECT_EQ(PixelAt(meter, 5, 448), kBarOdd);
  EXPECT_EQ(PixelAt(meter, 5, 225), kBarEven);
  EXPECT_EQ(PixelAt(meter, 5, 224), kHold);  // rows 220..224 above the bar
  EXPECT_EQ(PixelAt(meter, 5, 219), kMeterBackground);
  EXPECT_EQ(PixelAt(meter, 9, 449), kMeterBackground);
  EXPECT_EQ(PixelAt(meter, 13, 449), kMeterBackground);  // right channel silent
  EXPECT_EQ(PixelAt(meter, 1, 45), Rgb(215, 215, 215));  // major grid
  EXPECT_EQ(PixelAt(meter, 13, 4), Rgb(190, 190, 190));  // minor grid

  // Playback stopped: the bar goes, the hold falls by twice nearest(450 / 200).
  rig.State.MaxLeft = 0;
  rig.View.DrawMeter();
  EXPECT_EQ(PixelAt(meter, 5, 449), kMeterBackground);
  EXPECT_EQ(PixelAt(meter, 5, 228), kHold);  // rows 224..228
  EXPECT_EQ(PixelAt(meter, 5, 229), kMeterBackground);

  rig.Layout(700);  // a layout resets the holds
  rig.View.DrawMeter();
  EXPECT_EQ(PixelAt(meter, 5, 228), kMeterBackground);
}

TEST(Frame, TenLineBevelsDarkestNextToTheAreas) {
  ViewRig rig(10);
  const ViewGeometry& g = rig.View.Geometry();
  QImage canvas(g.ClientWidth, g.ClientHeight, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  QPainter painter(&canvas);
  rig.View.DrawFrame(painter);
  rig.View.DrawMeterBevel(painter);
  painter.end();
  EXPECT_EQ(PixelAt(canvas, 5, kToolBar - 1), Rgb(0, 0, 0));  // the tool bar is not ours
  EXPECT_EQ(PixelAt(canvas, 5, kToolBar), kBase);
  EXPECT_EQ(PixelAt(canvas, g.L - 1, g.T + 5), Rgb(66, 86, 126));  // base - 9 x 6
  EXPECT_EQ(PixelAt(canvas, g.L - 5, g.T + 5), Rgb(90, 110, 150));
  EXPECT_EQ(PixelAt(canvas, g.R, g.T + 5), Rgb(66, 86, 126));
  EXPECT_EQ(PixelAt(canvas, g.L + 5, g.B), Rgb(66, 86, 126));
  EXPECT_EQ(PixelAt(canvas, g.L + 5, g.T - 1), Rgb(66, 86, 126));
  EXPECT_EQ(PixelAt(canvas, g.Meter.left() - 1, g.T + 5), Rgb(66, 86, 126));
}

}  // namespace
}  // namespace tavrin::editor::testing
