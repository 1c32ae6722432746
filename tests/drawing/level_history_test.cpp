#include <QLineSeries>
#include <QScatterSeries>

#include "drawing_test_support.h"
#include "recorder_ui/drawing/level_history.h"

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
  QLineSeries series1, series2;
  QScatterSeries series3;
  series3.append(1, 1);
  for (int pass = 0; pass < 2; ++pass)
    DrawLevelChart(history, layout, &series1, &series2, &series3);
  ASSERT_EQ(series1.count(), 425);
  ASSERT_EQ(series2.count(), 425);
  EXPECT_EQ(series1.at(0), QPointF(1, 5));
  EXPECT_EQ(series1.at(424), QPointF(425, 7));
  EXPECT_EQ(series2.at(1), QPointF(2, 9));
  ASSERT_EQ(series3.count(), 1);
  EXPECT_EQ(series3.at(0), QPointF(4, 75));
}

TEST(ChartColorsTest, SilverSchemeGivesDarkTracesOthersLight) {
  QLineSeries series1, series2;
  QScatterSeries series3;
  ApplySeriesColors(settings::ColorsForScheme(5), &series1, &series2, &series3);
  EXPECT_EQ(series1.color(), QColor(150, 0, 0));
  EXPECT_EQ(series2.color(), QColor(0, 0, 150));
  EXPECT_EQ(series3.color(), QColor(255, 0, 0));
  ApplySeriesColors(settings::ColorsForScheme(1), &series1, &series2, nullptr);
  EXPECT_EQ(series1.color(), QColor(255, 255, 0));
  EXPECT_EQ(series2.color(), QColor(235, 235, 235));
  EXPECT_EQ(ChartBackgroundColor(settings::ColorsForScheme(1)), QColor(80, 100, 140));
}

}  // namespace
}  // namespace tavrin::recorder_ui::testing
