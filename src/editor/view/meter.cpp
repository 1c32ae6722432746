// MeterBitmap: the playback level meter beside the waveform, fed with the
// peaks of the block last played.

#include <algorithm>

#include "base/samples.h"
#include "capture/signal_processing.h"
#include "drawing/raster.h"
#include "editor/view/view_paint.h"
#include "editor/view/waveform_view.h"

namespace tavrin::editor {

namespace {

const QColor kMinorGrid(190, 190, 190);
const QColor kMajorGrid(215, 215, 215);
const QColor kBarEven(0, 255, 0);
const QColor kBarOdd(0, 170, 0);
const QColor kHold(60, 235, 60);
constexpr int kHoldShown = 5;  // holds this low are not drawn
constexpr int kHoldHeight = 5;

struct MeterChannel {
  int Left = 0;  // columns Left..Right - 1
  int Right = 0;
};
constexpr MeterChannel kLeftChannel{3, 9};
constexpr MeterChannel kRightChannel{11, 17};

void DrawChannel(QPainter& painter, const MeterChannel& channel, int height, int bar, int hold) {
  if (hold > kHoldShown) {
    drawing::FillBox(painter, kHold, channel.Left, height - hold - kHoldHeight, channel.Right,
                     height - hold);
  }
  for (int d = 0; d < bar; ++d) {
    const int row = height - 1 - d;
    drawing::FillBox(painter, d % 2 == 1 ? kBarOdd : kBarEven, channel.Left, row, channel.Right,
                     row + 1);
  }
}

}  // namespace

void WaveformView::DrawMeter() {
  const int height = m_geometry.h;
  const int width = m_meterBitmap.width();
  m_meterBitmap.fill(
      view_paint::ToRgb(settings::Shift(m_colors.BaseColor, view_paint::kMeterDarken)));
  QPainter painter(&m_meterBitmap);
  drawing::AliasedPainting aliased(painter);
  for (int i = 1; i <= 99; ++i) {
    const int row = base::RoundHalfEven(i * height / 100.0);
    drawing::FillBox(painter, kMinorGrid, kLeftChannel.Left, row, kLeftChannel.Right, row + 1);
    drawing::FillBox(painter, kMinorGrid, kRightChannel.Left, row, kRightChannel.Right, row + 1);
  }
  for (int i = 1; i <= 9; ++i) {
    const int row = base::RoundHalfEven(i * height / 10.0);
    drawing::FillBox(painter, kMajorGrid, 1, row, width - 2, row + 1);
  }

  const int barLeft = base::RoundHalfEven(m_state.MaxLeft * m_geometry.MeterScale);
  const int barRight = base::RoundHalfEven(m_state.MaxRight * m_geometry.MeterScale);
  m_holdLeft = std::max(m_holdLeft, barLeft);
  m_holdRight = std::max(m_holdRight, barRight);
  DrawChannel(painter, kLeftChannel, height, barLeft, m_holdLeft);
  DrawChannel(painter, kRightChannel, height, barRight, m_holdRight);

  // The holds fall after drawing, so a peak shows for at least one tick.
  if (m_holdLeft > 0) m_holdLeft -= 2 * m_geometry.MeterFallStep;
  if (m_holdRight > 0) m_holdRight -= 2 * m_geometry.MeterFallStep;
}

}  // namespace tavrin::editor
