// Selecting with the mouse in 0.1 s steps: a press starts a selection or
// grabs one of its edges, moves drag the edge nearest to the pointer, and a
// release in the press column is a click that leaves a cursor.

#include <algorithm>

#include "editor/view/waveform_view.h"

namespace tavrin::editor {

namespace {

// Edge zones, in columns either side of an edge's own column.
constexpr int kStartZoneLeft = 3;
constexpr int kStartZoneRight = 1;
constexpr int kEndZoneLeft = 1;
constexpr int kEndZoneRight = 3;

}  // namespace

bool WaveformView::OnStartEdge(int x) const {
  const int xs = ColumnOf(m_document.SelStart);
  return xs - kStartZoneLeft < x && x <= xs + kStartZoneRight;
}

bool WaveformView::OnEndEdge(int x) const {
  const int xe = ColumnOf(m_document.SelEnd);
  return xe - kEndZoneLeft <= x && x < xe + kEndZoneRight;
}

bool WaveformView::InWaveArea(int x, int y) const {
  const ViewGeometry& g = m_geometry;
  return x > g.L && x < g.R && y >= g.T && y <= g.B;
}

// The cursor never lies beyond the document, nor before its first buffer.
std::uint32_t WaveformView::CursorFrom(std::int64_t position) const {
  const std::int64_t length = m_document.Length();
  return static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(position, std::min<std::int64_t>(1, length), length));
}

MouseResult WaveformView::MousePress(const MouseInput& input) {
  MouseResult result;
  if (!input.LeftButton || m_document.EditBusy || !InWaveArea(input.X, input.Y)) return result;
  const std::int64_t position = PositionOf(input.X);
  if (position > m_document.Length()) return result;

  m_pressColumn = input.X;
  m_pressAccepted = true;
  m_dragActive = false;
  if (HasSelection()) {
    // Away from the edges the release decides what the press meant.
    if (OnStartEdge(input.X) || OnEndEdge(input.X)) {
      result.Cursor = CursorShape::ResizeWestEast;
      m_dragActive = true;
    }
  } else {
    result.Cursor = CursorShape::ResizeWestEast;
    m_document.SelStart = m_document.SelEnd = static_cast<std::uint32_t>(position);
    m_dragActive = true;
  }
  m_document.CursorPos = CursorFrom(position);
  result.FullRedraw = true;
  result.ShowPositions = true;
  return result;
}

MouseResult WaveformView::MouseMove(const MouseInput& input) {
  MouseResult result;
  result.HandleIdle = true;
  if (m_document.EditBusy || !InWaveArea(input.X, input.Y)) return result;
  const int x = input.X;
  if (HasSelection() && !(input.LeftButton && input.LeftAlone)) {
    result.Cursor =
        OnStartEdge(x) || OnEndEdge(x) ? CursorShape::ResizeWestEast : CursorShape::Default;
  }
  if (!m_dragActive || !(input.LeftButton && input.LeftAlone)) return result;

  const int xs = ColumnOf(m_document.SelStart);
  const int xe = ColumnOf(m_document.SelEnd);
  const std::int64_t position = PositionOf(x);
  const auto at = static_cast<std::uint32_t>(position);  // x > L: at least Z + ViewOffset
  const std::uint32_t length = m_document.Length();
  if (x > xe && m_document.SelEnd <= length) m_document.SelEnd = std::min(at, length);
  if (x < xs) m_document.SelStart = at;
  if (xs < x && 2 * x < xs + xe) m_document.SelStart = at;  // left half: the start follows
  if (x < xe && 2 * x > xs + xe) m_document.SelEnd = at;    // right half: the end follows
  // The first column reaches the document's first buffer, whether the drag
  // started there or came back to it.
  const std::uint32_t zoom = Zoom();
  if (zoom > 1 && ViewOffset == 0 && m_document.SelStart == zoom &&
      m_document.SelEnd > m_document.SelStart) {
    m_document.SelStart = 1;
  }
  m_document.CursorPos = CursorFrom(position);
  result.IncrementalRedraw = true;
  return result;
}

MouseResult WaveformView::MouseRelease(const MouseInput& input) {
  MouseResult result;
  // A release without a press the view accepted (outside the area, another
  // button, while busy) has nothing to finish.
  if (m_document.EditBusy || !m_pressAccepted) return result;
  m_pressAccepted = false;
  const bool sameColumn = input.X == m_pressColumn;
  const std::int64_t position = PositionOf(input.X);
  if (sameColumn && HasSelection() && m_dragActive) {
    // An edge pressed and let go without moving: nothing changes.
  } else if (sameColumn) {
    m_document.SelStart = m_document.SelEnd = static_cast<std::uint32_t>(position);
    m_document.CursorPos = CursorFrom(position);
    std::fill(m_columnSelected.begin(), m_columnSelected.end(), 0);
  } else if (m_dragActive) {
    m_document.CursorPos = CursorFrom(position);
  }
  m_dragActive = false;
  result.Cursor = CursorShape::Default;
  result.FullRedraw = true;
  result.ShowPositions = true;
  return result;
}

}  // namespace tavrin::editor
