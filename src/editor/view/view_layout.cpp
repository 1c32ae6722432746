// Geometry, frames, zoom, scrolling and the play cursor of the waveform view.

#include <algorithm>

#include "base/samples.h"
#include "capture/signal_processing.h"
#include "drawing/raster.h"
#include "editor/view/view_paint.h"
#include "editor/view/waveform_view.h"

namespace tavrin::editor {

namespace {

constexpr int kWaveLeft = 30;
constexpr int kWaveRightMargin = 65;
constexpr int kWaveTopMargin = 15;
constexpr int kWaveBottomMargin = 35;
constexpr int kScrollBarLeft = 14;
constexpr int kScrollBarWidthMargin = 60;
constexpr int kScrollBarGap = 12;
constexpr int kMeterRightMargin = 30;
constexpr int kMeterWidth = 21;

int Nearest(double value) {
  // Far outside any window; keeps the conversion defined.
  return base::RoundHalfEven(std::clamp(value, -1.0e9, 1.0e9));
}

// The outline of the rectangle `ring` pixels outside columns x0..x1 - 1 and
// rows y0..y1 - 1.
void DrawRing(QPainter& painter, const QColor& color, int ring, int x0, int y0, int x1, int y1) {
  const int left = x0 - ring, top = y0 - ring, right = x1 + ring, bottom = y1 + ring;
  drawing::FillBox(painter, color, left, top, right, top + 1);
  drawing::FillBox(painter, color, left, bottom - 1, right, bottom);
  drawing::FillBox(painter, color, left, top, left + 1, bottom);
  drawing::FillBox(painter, color, right - 1, top, right, bottom);
}

void DrawBevel(QPainter& painter, const settings::WindowColors& colors, int x0, int y0, int x1,
               int y1) {
  drawing::AliasedPainting aliased(painter);
  for (int line = 1; line <= view_paint::kBevelLines; ++line) {
    DrawRing(painter, drawing::ToQColor(view_paint::BevelLine(colors, line)), line, x0, y0, x1, y1);
  }
}

}  // namespace

WaveformView::WaveformView(EditSession& document, capture::RecorderState& state)
    : m_document(document), m_state(state), m_colors(settings::ColorsForScheme(1)) {}

void WaveformView::SetColors(const settings::WindowColors& colors) {
  m_colors = colors;
}

const ViewGeometry& WaveformView::Layout(int clientWidth, int clientHeight, int fileToolBarHeight,
                                         int statusBarHeight, int scrollBarHeight,
                                         int zoomButtonWidth) {
  ViewGeometry& g = m_geometry;
  g.ClientWidth = clientWidth;
  g.ClientHeight = clientHeight;
  g.ToolBarBottom = fileToolBarHeight;
  g.StatusBarTop = clientHeight - statusBarHeight;
  g.ScrollBarTop = g.StatusBarTop - scrollBarHeight - kScrollBarGap;
  g.ScrollBarLeft = kScrollBarLeft;
  g.ScrollBarWidth = clientWidth - kScrollBarWidthMargin;
  g.ScrollBarHeight = scrollBarHeight;

  g.ZoomButtonTop = g.ScrollBarTop - 2;
  g.PlusButtonLeft = g.ScrollBarLeft + g.ScrollBarWidth + 2;
  g.MinusButtonLeft = g.PlusButtonLeft + zoomButtonWidth;

  g.L = kWaveLeft;
  g.R = clientWidth - kWaveRightMargin;
  g.T = fileToolBarHeight + kWaveTopMargin;
  g.B = g.ScrollBarTop - kWaveBottomMargin;
  // A window squeezed below its minimum size draws nothing rather than
  // negative sizes.
  g.h = std::max(0, g.B - g.T);
  g.CentreLeft = g.h / 4;
  g.CentreRight = 3 * g.h / 4;
  g.Divider = g.h / 2;
  g.Columns = std::max(0, g.R - g.L);
  g.WaveBitmapHeight = std::max(0, (g.ScrollBarTop - 10) - g.T);
  g.Meter = QRect(clientWidth - kMeterRightMargin, g.T, kMeterWidth, g.h);
  // The paint event lays out and then shows the picture it has: a picture
  // is made anew only when its size changes.
  const QSize waveSize(std::max(1, g.Columns), std::max(1, g.WaveBitmapHeight));
  if (m_waveBitmap.size() != waveSize) {
    m_waveBitmap = QImage(waveSize, QImage::Format_RGB32);
    m_waveBitmap.fill(view_paint::ToRgb(m_colors.BaseColor));
  }
  const QSize meterSize(kMeterWidth, std::max(1, g.h));
  if (m_meterBitmap.size() != meterSize) {
    m_meterBitmap = QImage(meterSize, QImage::Format_RGB32);
    m_meterBitmap.fill(
        view_paint::ToRgb(settings::Shift(m_colors.BaseColor, view_paint::kMeterDarken)));
  }
  // The flags grow with the view and keep what they know.
  if (m_columnSelected.size() < static_cast<std::size_t>(g.Columns)) {
    m_columnSelected.resize(static_cast<std::size_t>(g.Columns), 0);
  }

  g.MeterFallStep = Nearest(g.h / 200.0);
  m_holdLeft = 0;
  m_holdRight = 0;
  g.MeterScale = g.h / 32767.0;

  g.AmplitudeScale = (g.h - 8) / 131068.0;
  g.OverviewScale = CurrentOverviewScale();

  g.PlayLineTop = g.T + 1;
  g.PlayLineHeight = g.h;
  g.CursorMarkerTop = g.ScrollBarTop - 16;
  g.PlayMarkerTop = g.ScrollBarTop + scrollBarHeight;
  g.OverviewBandTop = g.ScrollBarTop - 10;
  return m_geometry;
}

double WaveformView::CurrentOverviewScale() const {
  if (m_document.Length() == 0) return 1.0;
  return (m_geometry.R - m_geometry.L - 1) / static_cast<double>(m_document.Length());
}

void WaveformView::DrawFrame(QPainter& painter) const {
  const ViewGeometry& g = m_geometry;
  drawing::FillBox(painter, drawing::ToQColor(m_colors.BaseColor), 0, g.ToolBarBottom,
                   g.ClientWidth, g.ClientHeight);
  DrawBevel(painter, m_colors, g.L, g.T, g.R, g.B);
}

void WaveformView::DrawMeterBevel(QPainter& painter) const {
  const QRect& meter = m_geometry.Meter;
  DrawBevel(painter, m_colors, meter.left(), meter.top(), meter.left() + meter.width(),
            meter.top() + meter.height());
}

OverviewMarks WaveformView::Overview() const {
  const ViewGeometry& g = m_geometry;
  const double scale = CurrentOverviewScale();
  const std::int64_t selStart = m_document.SelStart;
  const std::int64_t selEnd = m_document.SelEnd;
  OverviewMarks marks;
  int width = Nearest(static_cast<double>(selEnd - selStart) * scale);
  if (selStart < selEnd) width = std::max(width, 1);
  marks.Band = QRect(Nearest(static_cast<double>(selStart - 1) * scale) + g.L, g.OverviewBandTop,
                     std::max(width, 0), kOverviewBandHeight);
  marks.CursorMarkerLeft =
      Nearest((static_cast<double>(m_document.CursorPos) - 1.0) * scale) + g.L - 8;
  marks.CursorMarkerTop = g.CursorMarkerTop;
  return marks;
}

int WaveformView::ZoomIndexInRange() const {
  return std::clamp(ZoomIndex, kFinestZoomIndex, kCoarsestZoomIndex);
}

std::uint32_t WaveformView::Zoom() const {
  return ZoomSteps[static_cast<std::size_t>(ZoomIndexInRange())];
}

void WaveformView::ChooseInitialZoom() {
  const std::int64_t span = m_geometry.R - m_geometry.L - 1;
  int index = kFinestZoomIndex;
  while (ZoomSteps[static_cast<std::size_t>(index)] * span < m_document.Length() &&
         index < kCoarsestZoomIndex) {
    ++index;
  }
  ZoomIndex = index;
}

bool WaveformView::ZoomIn() {
  if (ZoomIndexInRange() <= kFinestZoomIndex) return false;
  ZoomIndex = ZoomIndexInRange() - 1;
  return true;
}

bool WaveformView::ZoomOut() {
  const std::int64_t viewEnd =
      std::int64_t{Zoom()} * (m_geometry.R - m_geometry.L - 1) + ViewOffset;
  if (viewEnd >= m_document.Length() || ZoomIndexInRange() >= kCoarsestZoomIndex) return false;
  ZoomIndex = ZoomIndexInRange() + 1;
  return true;
}

bool WaveformView::ResizeZoomStep() {
  const std::int64_t half = std::int64_t{Zoom()} * (m_geometry.R - m_geometry.L - 1) / 2;
  return m_document.Length() < half && ZoomIn();
}

ScrollBarSettings WaveformView::SyncScrollBar() const {
  ScrollBarSettings bar;
  const std::int64_t zoom = Zoom();
  bar.SmallStep = static_cast<int>(zoom);
  bar.LargeStep = static_cast<int>(10 * zoom);
  const double length = m_document.Length();
  // An empty document has nothing to scroll: a disabled bar at 0.
  if (m_document.Length() == 0) return bar;
  const double viewBuffers = static_cast<double>(zoom * (m_geometry.R - m_geometry.L - 1));
  bar.Page = viewBuffers < length ? Nearest(viewBuffers * kScrollUnits / length) : kScrollUnits;
  bar.Page = std::clamp(bar.Page, 1, kScrollUnits);
  bar.Maximum = kScrollUnits - bar.Page;
  bar.Position = std::clamp(Nearest(kScrollUnits * (ViewOffset / length)), 0, bar.Maximum);
  bar.Enabled = true;
  return bar;
}

void WaveformView::ScrollChanged(int position) {
  const double zoom = Zoom();
  const double clamped = std::clamp(position, 0, kScrollUnits);
  ViewOffset = static_cast<std::uint32_t>(
      zoom * Nearest(m_document.Length() * clamped / (zoom * kScrollUnits)));
}

void WaveformView::KeepOffsetInDocument() {
  const std::int64_t zoom = Zoom();
  const std::int64_t viewBuffers = zoom * std::max(m_geometry.R - m_geometry.L - 1, 0);
  const std::int64_t excess = std::int64_t{m_document.Length()} - viewBuffers;
  const std::int64_t last = excess > 0 ? (excess + zoom - 1) / zoom * zoom : 0;
  if (ViewOffset > last) ViewOffset = static_cast<std::uint32_t>(last);
}

std::int64_t WaveformView::PositionOf(int x) const {
  return std::int64_t{Zoom()} * (x - m_geometry.L) + ViewOffset;
}

int WaveformView::ColumnOf(std::int64_t position) const {
  const double offset = static_cast<double>(position - std::int64_t{ViewOffset});
  return Nearest(offset / Zoom()) + m_geometry.L;
}

PlayCursor WaveformView::PlayCursorAt(bool playing, std::uint32_t playedBlock) const {
  const ViewGeometry& g = m_geometry;
  PlayCursor cursor;
  cursor.Visible = playing;
  cursor.MarkerTop = g.PlayMarkerTop;
  cursor.LineTop = g.PlayLineTop;
  cursor.LineHeight = g.PlayLineHeight;
  if (!playing) return cursor;
  cursor.MarkerLeft = Nearest(playedBlock * CurrentOverviewScale()) + g.L - 8;
  const int x = ColumnOf(playedBlock);
  cursor.LineX = x > g.L && x < g.R ? x : -1;
  return cursor;
}

void WaveformView::DrawPlayLine(QPainter& painter, const PlayCursor& cursor) const {
  if (!cursor.Visible || cursor.LineX < 0) return;
  drawing::AliasedPainting aliased(painter);
  const QColor color = QColor::fromRgb(view_paint::kPlayLine);
  for (int step = 0; step < cursor.LineHeight; ++step) {
    if (view_paint::DotOn(step)) {
      drawing::FillBox(painter, color, cursor.LineX, cursor.LineTop + step, cursor.LineX + 1,
                       cursor.LineTop + step + 1);
    }
  }
}

}  // namespace tavrin::editor
