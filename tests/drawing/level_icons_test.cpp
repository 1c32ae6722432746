#include <QIcon>
#include <QImage>

#include "drawing_test_support.h"
#include "recorder_ui/drawing/level_icons.h"

namespace tavrin::recorder_ui::testing {
namespace {

TEST(LevelIconForTest, SixteenthsOfFullScaleWithTheLeftChannelFloor) {
  EXPECT_EQ(LevelIconFor(700, 300), 1);  // 0 by division, 1 by the left-channel rule
  EXPECT_EQ(LevelIconFor(500, 700), 0);
  EXPECT_EQ(LevelIconFor(600, 0), 0);
  EXPECT_EQ(LevelIconFor(601, 0), 1);
  EXPECT_EQ(LevelIconFor(0, 3072), 2);  // 1.5
  EXPECT_EQ(LevelIconFor(0, 5120), 2);  // 2.5: halves to even
  EXPECT_EQ(LevelIconFor(0, 7168), 4);  // 3.5
  EXPECT_EQ(LevelIconFor(32767, 0), 16);
  EXPECT_EQ(LevelIconFor(-32768, -32768), 16);
  EXPECT_EQ(LevelIconFor(-20000, -30000), 10);  // larger is -20000: 9.77
}

// Rows of the 32-pixel picture holding a bright (lit) pixel.
int LitRows(const QImage& image) {
  int rows = 0;
  for (int y = 0; y < image.height(); ++y) {
    bool lit = false;
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      lit = lit || (c.alpha() == 255 && std::max({c.red(), c.green(), c.blue()}) >= 200);
    }
    rows += lit;
  }
  return rows;
}

TEST(LevelIconsTest, EighteenIconsWithBarsGrowingWithTheLevel) {
  const std::array<QIcon, 18> icons = MakeLevelIcons();
  for (const QIcon& icon : icons) {
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
  }
  const int full = LitRows(MakeLevelIconImage(16, 32));
  EXPECT_GE(full, 16);
  EXPECT_EQ(LitRows(MakeLevelIconImage(0, 32)), 0);
  EXPECT_EQ(LitRows(MakeLevelIconImage(8, 32)) * 2, full);
  for (int level = 1; level <= 16; ++level) {
    EXPECT_GE(LitRows(MakeLevelIconImage(level, 32)), LitRows(MakeLevelIconImage(level - 1, 32)));
  }
  EXPECT_GT(LitRows(MakeApplicationIconImage(32)), 0);
}

}  // namespace
}  // namespace tavrin::recorder_ui::testing
