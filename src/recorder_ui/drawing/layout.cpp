#include "recorder_ui/drawing/layout.h"

namespace tavrin::recorder_ui {

MainLayout LayoutMainWindow(int clientWidth) {
  MainLayout layout;
  layout.LevelX1 = clientWidth - 22;
  layout.LevelScale = static_cast<float>((layout.LevelX1 - layout.LevelX0 - 2) / 32767.0);
  // Full width of the DC meter is 10 % of full scale.
  layout.DcScale = static_cast<float>((layout.DcX1 - layout.DcX0) / 3276.7);
  layout.ChartLeft = layout.LevelX0;
  layout.ChartWidth = layout.LevelX1 - layout.LevelX0 + 1;
  layout.ChartScale = static_cast<float>(layout.ChartHeight / 32767.0);
  layout.TimeBarBottom = layout.TimeBarTop + 16;
  layout.TimeBarHeight = 17;
  return layout;
}

}  // namespace tavrin::recorder_ui
