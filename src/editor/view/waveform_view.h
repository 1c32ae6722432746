#pragma once
// The editor's waveform view without a window: the geometry of the editor's
// client area, the waveform picture drawn from the peak tables only (never
// from the audio), the playback level meter, zoom and scroll, and the mouse
// and keyboard selection rules. The editor window owns one, forwards its events and
// copies the pictures to the screen. User-interface thread only.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "editor/edit_context.h"
#include "settings/color_schemes.h"

namespace tavrin::editor {

// Buffers per pixel column for ZoomIndex 1..10 (index 0 unused).
inline constexpr std::array<std::uint32_t, 11> ZoomSteps = {0,  1,  2,   4,   8,  16,
                                                            32, 64, 128, 256, 512};
inline constexpr int kFinestZoomIndex = 1;
inline constexpr int kCoarsestZoomIndex = 10;
// The scroll bar counts 0..10000 over the whole document.
inline constexpr int kScrollUnits = 10000;
// Wide enough to hit, and to read "+" and "-" at any scale.
inline constexpr int kZoomButtonWidth = 22;
// The overview band is taller than the scroll bar it lies behind.
inline constexpr int kOverviewBandHeight = 36;

// Client-area coordinates of everything the view places, from Layout.
struct ViewGeometry {
  int ClientWidth = 0;
  int ClientHeight = 0;
  int ToolBarBottom = 0;  // the canvas below it is the view's
  int StatusBarTop = 0;
  int ScrollBarLeft = 0;
  int ScrollBarTop = 0;
  int ScrollBarWidth = 0;
  int ScrollBarHeight = 0;
  int PlusButtonLeft = 0;   // "+" (BtnInc)
  int MinusButtonLeft = 0;  // "-" (BtnDec), directly right of "+"
  int ZoomButtonTop = 0;
  // The waveform area: columns L..R - 1, rows T..B - 1.
  int L = 0;
  int R = 0;
  int T = 0;
  int B = 0;
  int h = 0;  // rows of the wave part of WaveBitmap; the ruler lies below
  int CentreLeft = 0;
  int CentreRight = 0;
  int Divider = 0;
  double AmplitudeScale = 0.0;  // pixels per sample unit
  double OverviewScale = 1.0;   // pixels per document buffer of the overview band
  int Columns = 0;              // WaveBitmap width, R - L
  int WaveBitmapHeight = 0;
  QRect Meter;  // where MeterBitmap goes
  int MeterFallStep = 0;
  double MeterScale = 0.0;  // pixels per sample unit
  int PlayLineTop = 0;
  int PlayLineHeight = 0;
  int CursorMarkerTop = 0;  // ImagePoint
  int PlayMarkerTop = 0;    // ImagePlay
  int OverviewBandTop = 0;  // ShapeSelected
};

// What the scroll bar shows. Maximum is the largest position the bar can
// take with its page (a Qt scroll bar's maximum); Position never exceeds it.
struct ScrollBarSettings {
  int Page = kScrollUnits;
  int Position = 0;
  int Maximum = 0;
  int SmallStep = 1;
  int LargeStep = 10;
  bool Enabled = false;
};

// The overview band (ShapeSelected) and the cursor marker (ImagePoint).
struct OverviewMarks {
  QRect Band;  // empty width when nothing is selected
  int CursorMarkerLeft = 0;
  int CursorMarkerTop = 0;
};

// The play cursor: the marker under the scroll bar (ImagePlay) and the line
// over the waveform (ShapeSPlay); LineX -1 puts the line out of sight.
struct PlayCursor {
  bool Visible = false;
  int MarkerLeft = 0;
  int MarkerTop = 0;
  int LineX = -1;
  int LineTop = 0;
  int LineHeight = 0;
};

enum class CursorShape { Unchanged, Default, ResizeWestEast };

// Where a key takes the cursor: a buffer, a second, a screen either way, or an end.
enum class CursorStep {
  BufferBack,
  BufferForward,
  SecondBack,
  SecondForward,
  ScreenBack,
  ScreenForward,
  DocumentStart,
  DocumentEnd,
};

struct MouseInput {
  int X = 0;  // client coordinates
  int Y = 0;
  bool LeftButton = false;  // the left button caused the press / is held
  bool LeftAlone = false;   // the left button is the only button or key held
};

// What the window does after a mouse event, in this order: cursor shape,
// the playback volume handle's idle outline, a redraw, the status texts.
struct MouseResult {
  CursorShape Cursor = CursorShape::Unchanged;
  bool HandleIdle = false;
  bool FullRedraw = false;         // DrawWaveform
  bool IncrementalRedraw = false;  // RedrawChangedColumns
  bool ShowPositions = false;
};

// The ruler's label for a count of buffers: hh:mm:ss, the position text
// without its tenths.
std::string RulerText(std::uint64_t buffers);

class WaveformView {
public:
  WaveformView(EditSession& document, capture::RecorderState& state);

  void SetColors(const settings::WindowColors& colors);
  const settings::WindowColors& Colors() const { return m_colors; }

  // Recomputes the geometry, sizes both pictures and resets the meter's
  // peak holds. Called by the window's show, paint and resize events.
  const ViewGeometry& Layout(int clientWidth, int clientHeight, int fileToolBarHeight,
                             int statusBarHeight, int scrollBarHeight,
                             int zoomButtonWidth = kZoomButtonWidth);
  const ViewGeometry& Geometry() const { return m_geometry; }

  // The canvas below the tool bars and the ten-line bevel round the waveform
  // area; the meter's bevel on its own.
  void DrawFrame(QPainter& painter) const;
  void DrawMeterBevel(QPainter& painter) const;

  // Full redraw of WaveBitmap; the window copies it to (L, T) and places the
  // overview band and the cursor marker.
  OverviewMarks DrawWaveform();
  // While dragging: repaints only the columns whose selected state changed.
  OverviewMarks RedrawChangedColumns();
  OverviewMarks Overview() const;
  const QImage& WaveBitmap() const { return m_waveBitmap; }

  // Draws MeterBitmap from MaxLeft and MaxRight; then the holds fall.
  void DrawMeter();
  const QImage& MeterBitmap() const { return m_meterBitmap; }

  // Where the view stands: the buffers before its first column, and the zoom
  // step (buffers per column from ZoomSteps).
  std::uint32_t ViewOffset = 0;
  std::int32_t ZoomIndex = 0;

  // Zoom. Each returns whether ZoomIndex changed; the window then syncs the
  // scroll bar and redraws.
  std::uint32_t Zoom() const;
  void ChooseInitialZoom();
  bool ZoomIn();
  bool ZoomOut();
  // After a resize: one step finer when the document fills less than half
  // of the view.
  bool ResizeZoomStep();
  ScrollBarSettings SyncScrollBar() const;
  // The scroll bar moved: ViewOffset follows, a multiple of the zoom.
  void ScrollChanged(int position);
  // After the document or the view changed size: a ViewOffset past the view
  // that ends at the document's end comes back to it (the smallest multiple
  // of the zoom that still shows the end; 0 when the document fits).
  void KeepOffsetInDocument();

  MouseResult MousePress(const MouseInput& input);
  MouseResult MouseMove(const MouseInput& input);
  MouseResult MouseRelease(const MouseInput& input);
  bool DragActive() const { return m_dragActive; }

  // The keyboard: moves CursorPos by `step`; with `extend` the selection runs
  // from its anchor (the edge the cursor is not on) to the cursor, else it
  // collapses there. False when nothing moved (busy, an empty document).
  bool MoveCursor(CursorStep step, bool extend);
  // Scrolls the least that brings the cursor's column into the view; true
  // when ViewOffset changed.
  bool FollowCursor();
  // One zoom step in or out keeping the cursor at its column; zooming out
  // stops once the whole document fits. True when ZoomIndex changed.
  bool ZoomAroundCursor(bool in);
  // One flag per column of WaveBitmap: the column is painted as selected.
  const std::vector<std::uint8_t>& ColumnSelected() const { return m_columnSelected; }

  // Document position of window column x (may lie outside the document).
  std::int64_t PositionOf(int x) const;
  // Window column of a document position.
  int ColumnOf(std::int64_t position) const;

  // Where the play cursor goes for the block last played (TimerPlay).
  PlayCursor PlayCursorAt(bool playing, std::uint32_t playedBlock) const;
  // The dotted play line over the waveform, in window coordinates.
  void DrawPlayLine(QPainter& painter, const PlayCursor& cursor) const;

private:
  // The largest maxima and smallest minima of a column's buffers.
  struct ColumnPeaks {
    bool Found = false;  // false: no buffer of the column has a source
    int MaxLeft = -32767;
    int MinLeft = 32767;
    int MaxRight = -32768;
    int MinRight = 32767;
  };
  // How one column is painted: its background, and the rows of each
  // channel's waveform line, [Top, End).
  struct ColumnPaint {
    QRgb Background = 0;      // rows 1..h - 2
    QRgb EdgeBackground = 0;  // rows 0 and h - 1
    QRgb Wave = 0;
    int LeftTop = 0;
    int LeftEnd = 0;
    int RightTop = 0;
    int RightEnd = 0;
    // Row `row` of a column h rows high, before the grey rows go over it.
    QRgb At(int row, int h) const {
      const bool wave =
          static_cast<unsigned>(row - LeftTop) < static_cast<unsigned>(LeftEnd - LeftTop) ||
          static_cast<unsigned>(row - RightTop) < static_cast<unsigned>(RightEnd - RightTop);
      return wave ? Wave : (row == 0 || row == h - 1 ? EdgeBackground : Background);
    }
  };

  // ZoomIndex kept within 1..10.
  int ZoomIndexInRange() const;
  double CurrentOverviewScale() const;
  // Buffers of the view's columns 1..R - L - 1 at the current zoom.
  std::int64_t ScreenBuffers() const;
  bool HasSelection() const { return m_document.SelStart != m_document.SelEnd; }
  bool InSelection(std::int64_t position) const;
  std::uint32_t CursorFrom(std::int64_t position) const;
  bool OnStartEdge(int x) const;
  bool OnEndEdge(int x) const;
  bool InWaveArea(int x, int y) const;
  std::int64_t ColumnPosition(int column) const;
  ColumnPeaks ScanColumn(const std::vector<DocumentRun>& runs, std::size_t& runIndex,
                         std::int64_t position) const;
  ColumnPaint DescribeColumn(bool selected, const ColumnPeaks& peaks) const;
  void PaintColumn(int column, const ColumnPaint& paint);
  void PaintGreyRows(int firstColumn, int endColumn);
  void ClearColumn(int column);
  void DrawRuler();
  void DrawCursorLine();

  EditSession& m_document;
  capture::RecorderState& m_state;
  settings::WindowColors m_colors;
  ViewGeometry m_geometry;
  QImage m_waveBitmap;
  QImage m_meterBitmap;
  std::vector<std::uint8_t> m_columnSelected;
  std::vector<ColumnPaint> m_paints;  // per column, reused by every full redraw
  int m_holdLeft = 0;
  int m_holdRight = 0;
  int m_pressColumn = 0;
  bool m_pressAccepted = false;
  bool m_dragActive = false;
};

}  // namespace tavrin::editor
