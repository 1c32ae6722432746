// Moving the cursor and selecting with the keyboard. The cursor and the
// selection stay the document's own fields, shared with the mouse: the anchor
// a Shift key extends from is the selection's edge the cursor is not on.

#include <algorithm>

#include "editor/view/waveform_view.h"

namespace tavrin::editor {

namespace {

constexpr std::int64_t kBuffersPerSecond = 10;

bool Forward(CursorStep step) {
  return step == CursorStep::BufferForward || step == CursorStep::SecondForward ||
         step == CursorStep::ScreenForward || step == CursorStep::DocumentEnd;
}

}  // namespace

std::int64_t WaveformView::ScreenBuffers() const {
  return std::int64_t{Zoom()} * std::max(m_geometry.R - m_geometry.L - 1, 1);
}

bool WaveformView::MoveCursor(CursorStep step, bool extend) {
  const std::int64_t length = m_document.Length();
  if (m_document.EditBusy || length == 0) return false;
  const auto inDocument = [length](std::int64_t p) {
    return std::clamp<std::int64_t>(p, 1, length);
  };
  // An undo may have left the cursor or the selection past the end.
  std::int64_t cursor = inDocument(m_document.CursorPos);
  std::int64_t anchor = cursor;
  if (extend && HasSelection()) {
    const std::int64_t start = inDocument(m_document.SelStart);
    const std::int64_t end = inDocument(m_document.SelEnd);
    if (cursor == end) {
      anchor = start;
    } else if (cursor == start) {
      anchor = end;
    } else {
      // The cursor lies elsewhere (Select All): the edge in the key's direction moves.
      cursor = Forward(step) ? end : start;
      anchor = Forward(step) ? start : end;
    }
  }
  std::int64_t to = cursor;
  switch (step) {
  case CursorStep::BufferBack: to -= 1; break;
  case CursorStep::BufferForward: to += 1; break;
  case CursorStep::SecondBack: to -= kBuffersPerSecond; break;
  case CursorStep::SecondForward: to += kBuffersPerSecond; break;
  case CursorStep::ScreenBack: to -= ScreenBuffers(); break;
  case CursorStep::ScreenForward: to += ScreenBuffers(); break;
  case CursorStep::DocumentStart: to = 1; break;
  case CursorStep::DocumentEnd: to = length; break;
  }
  to = inDocument(to);
  const auto first = static_cast<std::uint32_t>(extend ? std::min(anchor, to) : to);
  const auto last = static_cast<std::uint32_t>(extend ? std::max(anchor, to) : to);
  const bool moved =
      m_document.CursorPos != to || m_document.SelStart != first || m_document.SelEnd != last;
  m_document.CursorPos = static_cast<std::uint32_t>(to);
  m_document.SelStart = first;
  m_document.SelEnd = last;
  return moved;
}

bool WaveformView::FollowCursor() {
  const std::int64_t zoom = Zoom();
  const std::int64_t cursor = m_document.CursorPos;
  std::int64_t offset = ViewOffset;
  // Columns 1..R - L - 1 show the positions from offset + Z to offset + screen.
  if (cursor < offset + zoom) {
    offset = std::max<std::int64_t>(cursor - zoom, 0) / zoom * zoom;
  } else if (cursor > offset + ScreenBuffers()) {
    offset = (cursor - ScreenBuffers() + zoom - 1) / zoom * zoom;
  }
  if (offset == ViewOffset) return false;
  ViewOffset = static_cast<std::uint32_t>(offset);
  KeepOffsetInDocument();
  return true;
}

bool WaveformView::ZoomAroundCursor(bool in) {
  const int column = std::clamp(ColumnOf(m_document.CursorPos) - m_geometry.L, 1,
                                std::max(m_geometry.R - m_geometry.L - 1, 1));
  if (in) {
    if (!ZoomIn()) return false;
  } else {
    if (ScreenBuffers() >= m_document.Length() || ZoomIndexInRange() >= kCoarsestZoomIndex) {
      return false;
    }
    ZoomIndex = ZoomIndexInRange() + 1;
  }
  const std::int64_t zoom = Zoom();
  const std::int64_t offset = std::int64_t{m_document.CursorPos} - column * zoom;
  ViewOffset = static_cast<std::uint32_t>(std::max<std::int64_t>(offset, 0) / zoom * zoom);
  KeepOffsetInDocument();
  FollowCursor();
  return true;
}

}  // namespace tavrin::editor
