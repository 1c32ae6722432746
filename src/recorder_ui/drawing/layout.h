#pragma once
// Positions of the recorder window's self-drawn areas and their scale factors
// (pixels per sample unit, 32-bit float as the meters use them).

namespace tavrin::recorder_ui {

inline constexpr int kMainClientWidth = 464;

struct MainLayout {
  int LevelX0 = 18, LevelX1 = 442, LevelY0 = 30, LevelY1 = 46;
  int DcX0 = 250, DcX1 = 340, DcY0 = 80, DcY1 = 96;
  float LevelScale = 0.0f;
  float DcScale = 0.0f;
  int ChartLeft = 18, ChartWidth = 425, ChartTop = 134, ChartHeight = 75;
  float ChartScale = 0.0f;
  int TimeBarLeft = 18, TimeBarWidth = 425, TimeBarTop = 228, TimeBarBottom = 244,
      TimeBarHeight = 17;
};

MainLayout LayoutMainWindow(int clientWidth = kMainClientWidth);

}  // namespace tavrin::recorder_ui
