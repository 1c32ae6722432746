#include <QImage>

#include "drawing_test_support.h"
#include "recorder_ui/drawing/meters.h"

namespace tavrin::recorder_ui::testing {
namespace {

constexpr Rgb kBright{0, 255, 0};
constexpr Rgb kDark{0, 170, 0};
constexpr Rgb kDcOdd{255, 185, 70};
constexpr Rgb kDcEven{205, 135, 20};

class LevelMeterTest : public ::testing::Test {
protected:
  void SetUp() override { state.DeviceOpen = true; }
  void Draw() { DrawLevelMeter(bitmap, state, peak, cache, colors, layout); }
  bool IsGreen(int x, int y) const {
    const Rgb pixel = PixelAt(bitmap, x, y);
    return pixel == kBright || pixel == kDark;
  }

  capture::RecorderState state;
  PeakHold peak;
  MeterCache cache;
  settings::WindowColors colors = settings::ColorsForScheme(1);
  MainLayout layout = LayoutMainWindow();
  QImage bitmap = MakeLevelMeterBitmap(layout);
};

TEST_F(LevelMeterTest, FullScalePeakFills422Columns) {
  ASSERT_EQ(bitmap.size(), QSize(425, 16));
  state.MaxLeft = 32767;
  state.MaxRight = 16000;
  state.MeanRight = 8191.5;  // (16000 - 8192) x 422 / 32767 = 100.56
  Draw();
  for (int x = 1; x <= 422; ++x) {
    for (int y = 1; y <= 6; ++y) ASSERT_EQ(PixelAt(bitmap, x, y), x % 2 ? kBright : kDark) << x;
  }
  EXPECT_EQ(PixelAt(bitmap, 423, 3), kScheme1Background);
  EXPECT_FALSE(IsGreen(1, 7));
  EXPECT_TRUE(IsGreen(101, 9));
  EXPECT_TRUE(IsGreen(101, 14));
  EXPECT_FALSE(IsGreen(102, 11));
  EXPECT_FALSE(IsGreen(1, 15));
}

TEST_F(LevelMeterTest, GridOnASilentMeter) {
  Draw();
  EXPECT_EQ(PixelAt(bitmap, 4, 1), kScheme1Background);  // short tick 424 / 100: rows 2..6, 9..13
  EXPECT_EQ(PixelAt(bitmap, 4, 2), kScheme1Grid);
  EXPECT_EQ(PixelAt(bitmap, 4, 7), kScheme1Background);
  EXPECT_EQ(PixelAt(bitmap, 4, 14), kScheme1Background);
  EXPECT_EQ(PixelAt(bitmap, 42, 1), kScheme1Grid);  // long tick: rows 1..13
  EXPECT_EQ(PixelAt(bitmap, 200, 8), kScheme1Grid);
}

TEST_F(LevelMeterTest, PeakMarkerFallsTenPixelsPerDrawAndStopsAtTen) {
  state.MaxLeft = 32767;
  Draw();
  EXPECT_EQ(peak.Left, 412);
  state.MaxLeft = 0;
  Draw();
  for (int x = 408; x <= 411; ++x) EXPECT_EQ(PixelAt(bitmap, x, 3), kBright) << x;
  EXPECT_FALSE(IsGreen(407, 3));
  EXPECT_FALSE(IsGreen(412, 3));
  EXPECT_FALSE(IsGreen(410, 7));
  EXPECT_EQ(peak.Left, 402);
  peak.Left = 11;
  Draw();
  EXPECT_EQ(PixelAt(bitmap, 7, 3), kBright);
  EXPECT_EQ(peak.Left, 1);
  peak.Left = 10;
  Draw();
  for (int x = 1; x < 20; ++x) EXPECT_FALSE(IsGreen(x, 3)) << x;
  EXPECT_EQ(peak.Left, 10);
}

TEST_F(LevelMeterTest, ClipBoxFadesWithTheHold) {
  state.ClipHoldLeft = 30;
  state.ClipHoldRight = 29;
  Draw();
  for (int x = 420; x <= 424; ++x) {
    EXPECT_EQ(PixelAt(bitmap, x, 1), Rgb(255, 0, 0)) << x;
    EXPECT_EQ(PixelAt(bitmap, x, 14), Rgb(253, 0, 0)) << x;
  }
  EXPECT_NE(PixelAt(bitmap, 422, 7), Rgb(255, 0, 0));
  state.ClipHoldLeft = 1;
  state.ClipHoldRight = 0;
  Draw();
  EXPECT_EQ(PixelAt(bitmap, 422, 3), Rgb(197, 0, 0));
  EXPECT_EQ(PixelAt(bitmap, 422, 11), kScheme1Background);
}

TEST_F(LevelMeterTest, TheSamePictureIsNotDrawnTwiceUnlessSomethingElseDrewOnIt) {
  state.MaxLeft = 8000;
  {
    const QtWarnings warnings;
    EXPECT_TRUE(DrawLevelMeter(bitmap, state, peak, cache, colors, layout));
    EXPECT_EQ(warnings.Count(), 0) << "the painter's states are left balanced";
  }
  const QImage first = bitmap.copy();
  EXPECT_FALSE(DrawLevelMeter(bitmap, state, peak, cache, colors, layout)) << "nothing changed";
  EXPECT_EQ(peak.Left, 93) << "the marker still falls while nothing is drawn";
  ClearMeterBitmap(bitmap, colors);
  EXPECT_TRUE(DrawLevelMeter(bitmap, state, peak, cache, colors, layout)) << "cleared meanwhile";
  EXPECT_TRUE(bitmap == first);
  const settings::WindowColors silver = settings::ColorsForScheme(5);
  EXPECT_TRUE(DrawLevelMeter(bitmap, state, peak, cache, silver, layout)) << "new colours";
  EXPECT_NE(PixelAt(bitmap, 423, 3), kScheme1Background);
  state.MaxRight = 100;
  EXPECT_TRUE(DrawLevelMeter(bitmap, state, peak, cache, silver, layout));
}

TEST_F(LevelMeterTest, ClosedDeviceLeavesBitmapAndPeakAlone) {
  state.DeviceOpen = false;
  state.MaxLeft = 32767;
  bitmap.fill(Qt::magenta);
  peak.Left = 50;
  Draw();
  EXPECT_EQ(PixelAt(bitmap, 5, 3), Rgb(255, 0, 255));
  EXPECT_EQ(peak.Left, 50);
  ClearMeterBitmap(bitmap, colors);
  EXPECT_EQ(PixelAt(bitmap, 424, 15), kScheme1Background);
}

class DcMeterTest : public ::testing::Test {
protected:
  MeterCache cache;
  void Draw(bool checked) { DrawDcMeter(bitmap, state, checked, cache, colors, layout); }
  bool IsBar(int x, int y) const {
    const Rgb pixel = PixelAt(bitmap, x, y);
    return pixel == kDcOdd || pixel == kDcEven;
  }

  capture::RecorderState state;
  settings::WindowColors colors = settings::ColorsForScheme(1);
  MainLayout layout = LayoutMainWindow();
  QImage bitmap = MakeDcMeterBitmap();
};

TEST_F(DcMeterTest, TenPercentOfFullScaleFillsNinetyColumnsEitherSign) {
  ASSERT_EQ(bitmap.size(), QSize(91, 16));
  state.DcMeterLeft = 3276.7;
  state.DcMeterRight = -3276.7;
  Draw(true);
  for (int x = 1; x <= 90; ++x) {
    for (int y : {1, 6, 9, 14}) ASSERT_EQ(PixelAt(bitmap, x, y), x % 2 ? kDcOdd : kDcEven) << x;
  }
  EXPECT_FALSE(IsBar(1, 7));
  EXPECT_FALSE(IsBar(1, 15));
  EXPECT_EQ(DcBarLength(3400.0, layout.DcScale, 91), 91);  // 93.4 pixels
  EXPECT_EQ(DcBarLength(-30000.0, layout.DcScale, 91), 91);
}

TEST_F(DcMeterTest, UncheckedBoxShowsTheMeans) {
  state.DcMeterLeft = 3276.7;
  state.MeanLeft = 364.1;  // 10.0 pixels
  Draw(false);
  EXPECT_TRUE(IsBar(10, 3));
  EXPECT_FALSE(IsBar(11, 3));
  EXPECT_FALSE(IsBar(1, 11));
  EXPECT_EQ(PixelAt(bitmap, 27, 1), kScheme1Background);  // short tick 3 x 90 / 10: rows 2..6
  EXPECT_EQ(PixelAt(bitmap, 27, 2), kScheme1Grid);
  EXPECT_EQ(PixelAt(bitmap, 36, 1), kScheme1Grid);  // long tick 2 x 90 / 5: rows 1..6
}

TEST(MainLayoutTest, ScaleFactorsOfTheDesignedWindow) {
  const MainLayout layout = LayoutMainWindow(464);
  EXPECT_EQ(layout.LevelX1, 442);
  EXPECT_EQ(layout.ChartWidth, 425);
  EXPECT_FLOAT_EQ(layout.LevelScale, 0.012878811f);   // 422 / 32767
  EXPECT_FLOAT_EQ(layout.DcScale, 0.027466659f);      // 90 / 3276.7
  EXPECT_FLOAT_EQ(layout.ChartScale, 0.0022888882f);  // 75 / 32767
}

}  // namespace
}  // namespace tavrin::recorder_ui::testing
