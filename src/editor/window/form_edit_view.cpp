// The editor's waveform view in the window: the resize procedure, painting,
// zoom, scrolling and the mouse, all decided by the view module.
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "editor/window/edit_surface.h"
#include "editor/window/form_edit.h"

namespace tavrin::editor {

namespace {

constexpr int kMarkerSize = 16;

}  // namespace

void TFormEdit::BuildSurface() {
  m_surface = new EditSurface(*this);
  m_surface->setAccessibleName(tr("波形"));
  m_surface->setAccessibleDescription(tr("声音的波形，带所选区域和播放位置"));
  m_surface->ScrollBar->setAccessibleName(tr("波形位置"));
  setCentralWidget(m_surface);
  connect(m_surface->ScrollBar, &QScrollBar::valueChanged, this, &TFormEdit::ScrollBarChange);
  // Qt steps a trough click by the page, which also sizes the thumb: the
  // thumb keeps the page and the click moves by the large step instead.
  connect(m_surface->ScrollBar, &QScrollBar::actionTriggered, this, [this](int action) {
    QScrollBar* bar = m_surface->ScrollBar;
    if (action == QAbstractSlider::SliderPageStepAdd) {
      bar->setSliderPosition(std::min(bar->value() + m_scrollLargeStep, bar->maximum()));
    } else if (action == QAbstractSlider::SliderPageStepSub) {
      bar->setSliderPosition(std::max(bar->value() - m_scrollLargeStep, bar->minimum()));
    }
  });
  connect(m_surface->BtnInc, &QPushButton::clicked, this, &TFormEdit::BtnIncClick);
  connect(m_surface->BtnDec, &QPushButton::clicked, this, &TFormEdit::BtnDecClick);
}

void TFormEdit::LayOut() {
  // The tool bars and the status bar lie outside the central area here.
  const ViewGeometry& g = m_view.Layout(m_surface->width(), m_surface->height(), 0, 0,
                                        m_surface->ScrollBar->sizeHint().height());
  m_surface->ScrollBar->setGeometry(g.ScrollBarLeft, g.ScrollBarTop, g.ScrollBarWidth,
                                    g.ScrollBarHeight);
  m_surface->BtnInc->setGeometry(g.PlusButtonLeft, g.ZoomButtonTop, kZoomButtonWidth,
                                 g.ScrollBarHeight + 4);
  m_surface->BtnDec->setGeometry(g.MinusButtonLeft, g.ZoomButtonTop, kZoomButtonWidth,
                                 g.ScrollBarHeight + 4);
  PlaceProgressBar();
}

void TFormEdit::SyncScrollBar() {
  const ScrollBarSettings settings = m_view.SyncScrollBar();
  const QSignalBlocker blocker(m_surface->ScrollBar);
  m_surface->ScrollBar->setRange(0, settings.Maximum);
  m_surface->ScrollBar->setPageStep(settings.Page);
  m_surface->ScrollBar->setSingleStep(settings.SmallStep);
  m_scrollLargeStep = settings.LargeStep;
  m_surface->ScrollBar->setValue(settings.Position);
  m_surface->ScrollBar->setEnabled(settings.Enabled);
}

void TFormEdit::PlaceOverview(const OverviewMarks& marks) {
  // The band lies behind the scroll bar: only its edges above and below show.
  m_surface->ShapeSelected->setGeometry(marks.Band);
  m_surface->ShapeSelected->setVisible(marks.Band.width() > 0);
  m_surface->ShapeSelected->lower();
  m_surface->ImagePoint->setGeometry(marks.CursorMarkerLeft, marks.CursorMarkerTop, kMarkerSize,
                                     kMarkerSize);
}

void TFormEdit::ResizeView() {
  if (!m_open) return;
  LayOut();
  // The document may have shrunk under the view (Delete, Undo): a view past
  // its end would draw nothing and take no press.
  m_view.KeepOffsetInDocument();
  SyncScrollBar();
  if (m_view.ResizeZoomStep()) SyncScrollBar();
  RedrawView();
}

void TFormEdit::RedrawView() {
  if (!m_open) return;
  PlaceOverview(m_view.DrawWaveform());
  m_surface->update();
}

void TFormEdit::FormResize() {
  if (!m_open) return;
  ResizeView();
  QCoreApplication::processEvents();
}

void TFormEdit::PaintSurface(QPainter& painter) {
  if (!m_open) {
    painter.fillRect(m_surface->rect(), palette().window());
    return;
  }
  const ViewGeometry& g = m_view.Geometry();
  m_view.DrawFrame(painter);
  painter.drawImage(g.L, g.T, m_view.WaveBitmap());
  m_view.DrawMeterBevel(painter);
  painter.drawImage(g.Meter.topLeft(), m_view.MeterBitmap());
  m_view.DrawPlayLine(painter, m_playCursor);
}

void TFormEdit::BtnIncClick() {
  if (!m_open || !m_view.ZoomIn()) return;
  SyncScrollBar();
  RedrawView();
}

void TFormEdit::BtnDecClick() {
  if (!m_open || !m_view.ZoomOut()) return;
  SyncScrollBar();
  RedrawView();
}

void TFormEdit::ScrollBarChange(int position) {
  if (!m_open) return;
  m_view.ScrollChanged(position);
  RedrawView();
}

void TFormEdit::ApplyMouseResult(const MouseResult& result) {
  if (result.Cursor == CursorShape::ResizeWestEast) m_surface->setCursor(Qt::SizeHorCursor);
  if (result.Cursor == CursorShape::Default) m_surface->unsetCursor();
  if (result.HandleIdle) VolumeHandleIdle();
  if (result.FullRedraw) RedrawView();
  if (result.IncrementalRedraw) {
    PlaceOverview(m_view.RedrawChangedColumns());
    m_surface->update();
  }
  if (result.ShowPositions) ShowPositions();
}

void TFormEdit::FormMouseDown(QPoint at, bool leftButton, bool leftAlone) {
  if (!m_open) return;
  ApplyMouseResult(m_view.MousePress({at.x(), at.y(), leftButton, leftAlone}));
}

void TFormEdit::FormMouseMove(QPoint at, bool leftButton, bool leftAlone) {
  if (!m_open) return;
  ApplyMouseResult(m_view.MouseMove({at.x(), at.y(), leftButton, leftAlone}));
  if (m_view.DragActive()) QCoreApplication::processEvents();
}

void TFormEdit::FormMouseUp(QPoint at) {
  if (!m_open) return;
  ApplyMouseResult(m_view.MouseRelease({at.x(), at.y(), false, false}));
}

}  // namespace tavrin::editor
