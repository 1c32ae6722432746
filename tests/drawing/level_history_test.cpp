#include "recorder_ui/drawing/level_history.h"
#include "drawing_test_support.h"

namespace tavrin::recorder_ui::testing {
namespace {

class LevelHistoryTest : public ::testing::Test {
protected:
  capture::RecorderState state;
  MainLayout layout = LayoutMainWindow();
  LevelHistory history;
};

TEST_F(LevelHistoryTest, PushShiftsTheShownSlotsAndStoresTheNewestInSlotOne) {
  for (int i = 1; i <= kLevelHistorySlots; ++i) history.ClipRight[i] = history.Left[i] = i;
  state.MaxLeft = 1000;
  state.MeanLeft = 563.2;  // 436.8 x 75 / 32767 = 0.9998
  state.MaxRight = 16384;  // 37.501
  state.ClipHoldLeft = 30;
  PushLevelHistory(history, state, layout);
  EXPECT_EQ(history.Left[1], 1);
  EXPECT_EQ(history.Right[1], 38);
  EXPECT_EQ(history.ClipLeft[1], 30);
  EXPECT_EQ(history.Left[2], 1);
  EXPECT_EQ(history.Left[425], 424);  // the old slot 425 fell off
  EXPECT_EQ(history.Left[426], 426);
  EXPECT_EQ(history.ClipRight[425], 424);
  ClearLevelHistory(history);
  EXPECT_EQ(history.Left[1], 0);
  EXPECT_EQ(history.ClipRight[600], 0);
}

TEST_F(LevelHistoryTest, ChartShowsEveryShownSlotAndClipPointsOnlyForHoldThirty) {
  history.Left[1] = 5;
  history.Left[425] = 7;
  history.Right[2] = 9;
  history.ClipLeft[3] = 30;
  history.ClipLeft[4] = 29;
  history.ClipRight[5] = 30;
  history.ClipLeft[426] = 30;  // beyond the chart
  ChartSeries series1, series2, series3;
  series3.Points.append(QPoint(1, 1));
  EXPECT_TRUE(DrawLevelChart(history, layout, &series1, &series2, &series3));
  EXPECT_FALSE(DrawLevelChart(history, layout, &series1, &series2, &series3))
      << "the same picture is not drawn again";
  ASSERT_EQ(series1.Points.size(), 425);
  ASSERT_EQ(series2.Points.size(), 425);
  EXPECT_EQ(series1.Points[0], QPoint(1, 5));
  EXPECT_EQ(series1.Points[424], QPoint(425, 7));
  EXPECT_EQ(series2.Points[1], QPoint(2, 9));
  ASSERT_EQ(series3.Points.size(), 1);
  EXPECT_EQ(series3.Points[0], QPoint(4, 75));
}

TEST(ChartColorsTest, SilverSchemeGivesDarkTracesOthersLight) {
  ChartSeries series1, series2, series3;
  ApplySeriesColors(settings::ColorsForScheme(5), &series1, &series2, &series3);
  EXPECT_EQ(series1.Color, QColor(150, 0, 0));
  EXPECT_EQ(series2.Color, QColor(0, 0, 150));
  EXPECT_EQ(series3.Color, QColor(255, 0, 0));
  ApplySeriesColors(settings::ColorsForScheme(1), &series1, &series2, nullptr);
  EXPECT_EQ(series1.Color, QColor(255, 255, 0));
  EXPECT_EQ(series2.Color, QColor(235, 235, 235));
  EXPECT_EQ(ChartBackgroundColor(settings::ColorsForScheme(1)), QColor(80, 100, 140));
}

}  // namespace
}  // namespace tavrin::recorder_ui::testing
