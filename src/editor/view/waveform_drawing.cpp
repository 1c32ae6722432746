// WaveBitmap: the time ruler and one pixel column per group of document
// buffers, drawn from the peak tables. Columns are written straight into the
// picture's scan lines; only the ruler goes through a painter.

#include <QString>
#include <algorithm>

#include "base/samples.h"
#include "capture/signal_processing.h"
#include "drawing/raster.h"
#include "editor/view/view_paint.h"
#include "editor/view/waveform_view.h"

namespace tavrin::editor {

std::string RulerText(std::uint64_t buffers) {
  const auto clamped = static_cast<std::uint32_t>(std::min<std::uint64_t>(buffers, UINT32_MAX));
  return PositionText(clamped).substr(0, 8);  // hh:mm:ss, without the tenths
}

namespace {

constexpr int kShortTick = 4;
constexpr int kLongTick = 10;
constexpr int kLabelRow = 10;  // below the wave part

int Nearest(double value) {
  return base::RoundHalfEven(value);
}

}  // namespace

bool WaveformView::InSelection(std::int64_t position) const {
  return HasSelection() && m_document.SelStart <= position && position <= m_document.SelEnd;
}

std::int64_t WaveformView::ColumnPosition(int column) const {
  return std::int64_t{Zoom()} * column + ViewOffset;
}

// A column at position p shows document buffers p - Z + 1 .. p: those the
// document holds there, so the neighbours of a segment's source buffers
// (audio an edit removed) never show, and nothing below buffer 1 is read.
WaveformView::ColumnPeaks WaveformView::ScanColumn(const std::vector<DocumentRun>& runs,
                                                   std::size_t& runIndex,
                                                   std::int64_t position) const {
  const std::int64_t first = std::max<std::int64_t>(1, position - Zoom() + 1);
  ColumnPeaks peaks;
  while (runIndex < runs.size() &&
         std::int64_t{runs[runIndex].First} + runs[runIndex].Buffers <= first) {
    ++runIndex;
  }
  for (std::size_t k = runIndex; k < runs.size() && runs[k].First <= position; ++k) {
    const DocumentRun& run = runs[k];
    const std::int64_t from = std::max<std::int64_t>(first, run.First);
    const std::int64_t to =
        std::min<std::int64_t>(position, std::int64_t{run.First} + run.Buffers - 1);
    const document::PeakTable& table = SourcePeaks(m_document, m_state.Take, run.FromTake);
    const std::int64_t sourceFrom =
        std::max<std::int64_t>(1, run.SourceBuffer + (from - run.First));
    const std::int64_t sourceTo = std::min<std::int64_t>(
        static_cast<std::int64_t>(table.size()) - 1, run.SourceBuffer + (to - run.First));
    for (std::int64_t buffer = sourceFrom; buffer <= sourceTo; ++buffer) {
      const document::BufferPeaks& source = table[static_cast<std::size_t>(buffer)];
      peaks.MaxLeft = std::max<int>(peaks.MaxLeft, source.MaxLeft);
      peaks.MinLeft = std::min<int>(peaks.MinLeft, source.MinLeft);
      peaks.MaxRight = std::max<int>(peaks.MaxRight, source.MaxRight);
      peaks.MinRight = std::min<int>(peaks.MinRight, source.MinRight);
    }
    peaks.Found = peaks.Found || sourceFrom <= sourceTo;
  }
  return peaks;
}

WaveformView::ColumnPaint WaveformView::DescribeColumn(bool selected,
                                                       const ColumnPeaks& peaks) const {
  const ViewGeometry& g = m_geometry;
  ColumnPaint paint;
  // Selected columns fill rows 0..h - 1; unselected ones leave the first and
  // last row in the window's colour.
  paint.Background =
      selected
          ? view_paint::kSelectedBackground
          : view_paint::ToRgb(settings::Shift(m_colors.BaseColor, view_paint::kBackgroundLift));
  paint.EdgeBackground = selected ? paint.Background : view_paint::ToRgb(m_colors.BaseColor);
  paint.Wave = selected ? view_paint::kSelectedWave : view_paint::kWave;
  if (!peaks.Found) return paint;
  // A line from y1 towards y2 without its last pixel; one pixel when equal.
  auto span = [&](int centre, int maximum, int minimum, int& top, int& end) {
    const int y1 = centre - Nearest(maximum * g.AmplitudeScale);
    const int y2 = centre - Nearest(minimum * g.AmplitudeScale);
    top = y1 <= y2 ? y1 : y2 + 1;
    end = y1 < y2 ? y2 : y1 + 1;
  };
  span(g.CentreLeft, peaks.MaxLeft, peaks.MinLeft, paint.LeftTop, paint.LeftEnd);
  span(g.CentreRight, peaks.MaxRight, peaks.MinRight, paint.RightTop, paint.RightEnd);
  return paint;
}

void WaveformView::PaintColumn(int column, const ColumnPaint& paint) {
  const int h = m_geometry.h;
  const int rows = std::min(h, m_waveBitmap.height());
  for (int row = 0; row < rows; ++row) {
    reinterpret_cast<QRgb*>(m_waveBitmap.scanLine(row))[column] = paint.At(row, h);
  }
  PaintGreyRows(column, column + 1);
}

// The zero lines, then the divider with a darker row either side.
void WaveformView::PaintGreyRows(int firstColumn, int endColumn) {
  const ViewGeometry& g = m_geometry;
  const int rows = std::min(g.h, m_waveBitmap.height());
  const std::pair<int, QRgb> greys[] = {{g.CentreLeft, view_paint::kZeroLine},
                                        {g.CentreRight, view_paint::kZeroLine},
                                        {g.Divider - 1, view_paint::kZeroLine},
                                        {g.Divider + 1, view_paint::kZeroLine},
                                        {g.Divider, view_paint::kDivider}};
  for (const auto& [row, color] : greys) {
    if (row < 0 || row >= rows) continue;
    QRgb* line = reinterpret_cast<QRgb*>(m_waveBitmap.scanLine(row));
    std::fill(line + firstColumn, line + endColumn, color);
  }
}

void WaveformView::ClearColumn(int column) {
  const QRgb base = view_paint::ToRgb(m_colors.BaseColor);
  const int rows = std::min(m_geometry.h, m_waveBitmap.height());
  for (int row = 0; row < rows; ++row) {
    reinterpret_cast<QRgb*>(m_waveBitmap.scanLine(row))[column] = base;
  }
}

void WaveformView::DrawRuler() {
  const ViewGeometry& g = m_geometry;
  QPainter painter(&m_waveBitmap);
  drawing::AliasedPainting aliased(painter);
  for (int line = 1; line <= view_paint::kBevelLines; ++line) {
    drawing::FillBox(painter, drawing::ToQColor(view_paint::BevelLine(m_colors, line)), 0,
                     g.h + line, g.Columns, g.h + line + 1);
  }
  const QColor text = drawing::ToQColor(m_colors.TextColor);
  const std::int64_t zoom = Zoom();
  const std::int64_t firstAbsolute = Nearest(static_cast<double>(ViewOffset) / zoom);
  for (int column = 0; column < g.Columns; ++column) {
    const std::int64_t absolute = column + firstAbsolute;
    if (absolute % 100 == 0) {
      drawing::FillBox(painter, text, column, g.h + 1, column + 1, g.h + 1 + kLongTick);
      drawing::DrawTextAt(
          painter, text, column, g.h + kLabelRow,
          QString::fromStdString(RulerText(static_cast<std::uint64_t>(absolute * zoom))));
    } else if (absolute % 10 == 0) {
      drawing::FillBox(painter, text, column, g.h + 1, column + 1, g.h + 1 + kShortTick);
    }
  }
}

void WaveformView::DrawCursorLine() {
  const int column = ColumnOf(m_document.CursorPos) - m_geometry.L;
  if (column < 0 || column >= m_waveBitmap.width()) return;
  const int rows = std::min(m_geometry.h, m_waveBitmap.height());
  for (int row = 1; row < rows; ++row) {
    if (view_paint::DotOn(row - 1)) {
      reinterpret_cast<QRgb*>(m_waveBitmap.scanLine(row))[column] = view_paint::kCursorLine;
    }
  }
}

OverviewMarks WaveformView::DrawWaveform() {
  const ViewGeometry& g = m_geometry;
  m_waveBitmap.fill(view_paint::ToRgb(m_colors.BaseColor));
  m_geometry.OverviewScale = CurrentOverviewScale();
  DrawRuler();

  // The columns up to the document's end, from one pass over the runs.
  const std::int64_t length = m_document.Length();
  const std::int64_t lastPosition = std::min(length, ColumnPosition(g.Columns - 1));
  std::vector<DocumentRun> runs;
  if (g.Columns > 1 && lastPosition >= 1) {
    runs = DocumentRuns(m_document, ViewOffset + 1, static_cast<std::uint32_t>(lastPosition));
  }
  std::size_t runIndex = 0;
  int endColumn = 1;  // one past the last column the document reaches
  m_paints.assign(static_cast<std::size_t>(std::max(g.Columns, 1)), ColumnPaint{});
  for (int column = 1; column < g.Columns; ++column) {
    const std::int64_t position = ColumnPosition(column);
    const bool drawn = position <= length;
    const bool selected = drawn && InSelection(position);
    m_columnSelected[static_cast<std::size_t>(column)] = selected ? 1 : 0;
    if (!drawn) continue;
    m_paints[static_cast<std::size_t>(column)] =
        DescribeColumn(selected, ScanColumn(runs, runIndex, position));
    endColumn = column + 1;
  }
  // Row by row: a scan line is written in one sweep instead of one pixel per
  // column and row.
  const int rows = std::min(g.h, m_waveBitmap.height());
  for (int row = 0; row < rows; ++row) {
    QRgb* line = reinterpret_cast<QRgb*>(m_waveBitmap.scanLine(row));
    for (int column = 1; column < endColumn; ++column) {
      line[column] = m_paints[static_cast<std::size_t>(column)].At(row, g.h);
    }
  }
  if (endColumn > 1) PaintGreyRows(1, endColumn);
  DrawCursorLine();
  return Overview();
}

OverviewMarks WaveformView::RedrawChangedColumns() {
  const ViewGeometry& g = m_geometry;
  for (int column = 1; column < g.Columns; ++column) {
    const std::int64_t position = ColumnPosition(column);
    const bool selected = InSelection(position);
    std::uint8_t& flag = m_columnSelected[static_cast<std::size_t>(column)];
    if ((flag != 0) == selected) continue;
    flag = selected ? 1 : 0;
    if (position > m_document.Length()) {
      ClearColumn(column);
      continue;
    }
    const std::int64_t first = std::max<std::int64_t>(1, position - Zoom() + 1);
    const std::vector<DocumentRun> runs = DocumentRuns(
        m_document, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(position));
    std::size_t runIndex = 0;
    PaintColumn(column, DescribeColumn(selected, ScanColumn(runs, runIndex, position)));
  }
  return Overview();
}

}  // namespace tavrin::editor
