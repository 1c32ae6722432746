#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "drawing_test_support.h"
#include "recorder_ui/drawing/time_bar.h"
#include "session/recording_controls.h"

namespace tavrin::recorder_ui::testing {
namespace {

constexpr Rgb kUntouched{255, 0, 255};
constexpr Rgb kWrappedGreen{50, 130, 50};
constexpr Rgb kColumnOdd{80, 250, 80};
constexpr Rgb kColumnEven{0, 170, 0};

TEST(TimeScaleTest, StepsCaptionAndFallback) {
  EXPECT_EQ(TimeScaleFor(7).Minutes, 3);
  EXPECT_EQ(session::NextTimeScale(3), 5);
  EXPECT_EQ(session::NextTimeScale(240), 600);
  EXPECT_EQ(session::NextTimeScale(600), 600);
  EXPECT_EQ(TimeBarCaption(600, QStringLiteral("连续")), QStringLiteral("Time Recorded, hour"));
  EXPECT_EQ(TimeBarCaption(120, QStringLiteral("连续")), QStringLiteral("Recording Mode - 连续"));
}

class TimeBarFrameTest : public ::testing::Test {
protected:
  QImage Render(int minutes, int scheme) {
    QImage surface(464, 300, QImage::Format_RGB32);
    surface.fill(Qt::magenta);
    QPainter painter(&surface);
    DrawTimeBarFrame(painter, settings::ColorsForScheme(scheme), LayoutMainWindow(), minutes,
                     QStringLiteral("mode"));
    return surface;
  }
};

TEST_F(TimeBarFrameTest, HourScaleCaptionMatchesTheTextDrawnIndependently) {
  const QImage surface = Render(240, 5);
  // Expected: the top bevel rows (ring i at row 228 - i, silver 170,170,180 + 6 (i - 14))
  // with the caption's cell placed at (158, 215).
  QImage expected(464, 300, QImage::Format_RGB32);
  expected.fill(Qt::magenta);
  QPainter painter(&expected);
  for (int i = 1; i <= 14; ++i) {
    const int shift = 6 * (i - 14);
    painter.fillRect(QRect(0, 228 - i, 464, 1), QColor(170 + shift, 170 + shift, 180 + shift));
  }
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(12);
  font.setStyleStrategy(QFont::NoAntialias);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(158, 215 + QFontMetrics(font).ascent(), QStringLiteral("Time Recorded, hour"));
  painter.end();
  const QRect captionArea(100, 200, 331, 44);
  EXPECT_EQ(surface.copy(captionArea), expected.copy(captionArea));
  int black = 0;
  for (int x = 158; x < 300; ++x) black += PixelAt(surface, x, 220) == Rgb(0, 0, 0);
  EXPECT_GT(black, 5);
}

TEST_F(TimeBarFrameTest, TicksOverTheBottomBevelAndClearedLabelRows) {
  const QImage surface = Render(3, 1);
  const Rgb light{240, 240, 240};
  // 3 intervals: x = 18 + round(424 d / 3) = 18, 159, 301, 442; ticks on rows 244..250.
  for (int x : {18, 159, 301, 442}) EXPECT_EQ(PixelAt(surface, x, 246), light) << x;
  EXPECT_EQ(PixelAt(surface, 160, 246), Rgb(54, 74, 114));  // bottom ring 3
  EXPECT_EQ(PixelAt(surface, 160, 244), Rgb(42, 62, 102));  // bottom ring 1
  EXPECT_EQ(PixelAt(surface, 6, 258), Rgb(120, 140, 180));  // (18 - 15 + 3, 244 + 14)
  EXPECT_EQ(PixelAt(surface, 5, 258), kUntouched);
  EXPECT_EQ(PixelAt(surface, 300, 240), kUntouched);  // the picture's place
}

class TimeBarImageTest : public ::testing::Test {
protected:
  capture::RecorderState state;
  settings::WindowColors colors = settings::ColorsForScheme(1);
  QImage bar = MakeTimeBarImage(LayoutMainWindow());
};

TEST_F(TimeBarImageTest, BackgroundGreenWhenWrappedWithMinuteAndScaleTicks) {
  ASSERT_EQ(bar.size(), QSize(425, 17));
  state.TimeScaleMinutes = 3;
  DrawTimeBarBackground(bar, state, colors);
  EXPECT_EQ(PixelAt(bar, 5, 2), kScheme1Background);
  EXPECT_EQ(PixelAt(bar, 7, 3), kScheme1Background);  // minor tick round(424 / 60) = 7: rows 4..12
  EXPECT_EQ(PixelAt(bar, 7, 4), kScheme1Grid);
  EXPECT_EQ(PixelAt(bar, 7, 13), kScheme1Background);
  EXPECT_EQ(PixelAt(bar, 283, 1), kScheme1Grid);  // major tick round(2 x 424 / 3): rows 1..15
  EXPECT_EQ(PixelAt(bar, 283, 16), kScheme1Background);
  state.LoopWrapped = true;
  DrawTimeBarBackground(bar, state, colors);
  EXPECT_EQ(PixelAt(bar, 5, 2), kWrappedGreen);
  EXPECT_EQ(PixelAt(bar, 424, 16), kWrappedGreen);
}

TEST_F(TimeBarImageTest, ColumnsColouredByParity) {
  state.TimeScaleMinutes = 3;
  bar.fill(Qt::magenta);
  state.RecordedBuffers = 13;  // 13 x 422 / 180 / 10 = 3.05
  TimeBarColumnShown shown;
  {
    const QtWarnings warnings;
    EXPECT_TRUE(DrawTimeBarColumn(bar, state, shown));
    EXPECT_EQ(warnings.Count(), 0) << "the painter's states are left balanced";
  }
  EXPECT_EQ(PixelAt(bar, 3, 1), kColumnOdd);
  EXPECT_EQ(PixelAt(bar, 3, 15), kColumnOdd);
  EXPECT_EQ(PixelAt(bar, 3, 16), kUntouched);
  EXPECT_EQ(PixelAt(bar, 2, 8), kUntouched);
  state.RecordedBuffers = 1800;  // three minutes: 422 columns
  DrawTimeBar(bar, state, colors);
  for (int x = 1; x <= 422; ++x) ASSERT_EQ(PixelAt(bar, x, 2), x % 2 ? kColumnOdd : kColumnEven);
  EXPECT_EQ(PixelAt(bar, 423, 2), kScheme1Background);
  EXPECT_EQ(PixelAt(bar, 0, 2), kScheme1Grid);
  state.RecordedBuffers = 5000;  // past the end: clipped
  DrawTimeBar(bar, state, colors);
  EXPECT_EQ(PixelAt(bar, 424, 2), kColumnEven);
  state.RecordedBuffers = 0;
  DrawTimeBar(bar, state, colors);
  EXPECT_EQ(PixelAt(bar, 1, 2), kScheme1Background);
}

}  // namespace
}  // namespace tavrin::recorder_ui::testing
