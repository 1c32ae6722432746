// The editor's waveform view in the window: the resize procedure, painting,
// zoom, scrolling, the mouse and the keys, all decided by the view module.
#include <QAction>
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
  m_surface->ScrollBar->setAccessibleName(tr("波形位置"));
  m_surface->BtnInc->setAccessibleName(tr("放大波形"));
  m_surface->BtnInc->setToolTip(m_surface->BtnInc->accessibleName());
  m_surface->BtnDec->setAccessibleName(tr("缩小波形"));
  m_surface->BtnDec->setToolTip(m_surface->BtnDec->accessibleName());
  setCentralWidget(m_surface);
  // The zoom keys work wherever the focus is in the window.
  const auto zoomKeys = [this](const char* name, const QString& text,
                               const QList<QKeySequence>& keys, bool in) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(keys);
    addAction(action);
    connect(action, &QAction::triggered, this, [this, in] { ZoomAroundCursor(in); });
    m_actions.push_back(action);
  };
  zoomKeys("ZoomIn", m_surface->BtnInc->accessibleName(),
           {QKeySequence("Ctrl+="), QKeySequence("Ctrl++")}, true);
  zoomKeys("ZoomOut", m_surface->BtnDec->accessibleName(), {QKeySequence("Ctrl+-")}, false);
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
  const int zoomHeight = std::max(g.ScrollBarHeight + 4, kZoomButtonWidth);
  m_surface->BtnInc->setGeometry(g.PlusButtonLeft, g.ZoomButtonTop, kZoomButtonWidth, zoomHeight);
  m_surface->BtnDec->setGeometry(g.MinusButtonLeft, g.ZoomButtonTop, kZoomButtonWidth, zoomHeight);
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
  // The bar's own numbers are scroll units: the times tell what the view shows.
  const std::int64_t length = Document().Length();
  const auto time = [length](std::int64_t buffers) {
    return QString::fromStdString(
        PositionText(static_cast<std::uint32_t>(std::min(buffers, length))));
  };
  m_surface->ScrollBar->setAccessibleDescription(
      tr("显示 %1 至 %2，共 %3")
          .arg(time(m_view.ViewOffset), time(m_view.PositionOf(m_view.Geometry().R - 1)),
               time(length)));
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
  if (m_surface->hasFocus()) {
    // Where the keys go, dotted on the bevel's innermost line.
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(g.L - 1, g.T - 1, g.Columns + 1, g.WaveBitmapHeight + 1);
  }
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

void TFormEdit::ZoomAroundCursor(bool in) {
  if (!m_open || Document().EditBusy || !m_view.ZoomAroundCursor(in)) return;
  SyncScrollBar();
  RedrawView();
}

bool TFormEdit::SurfaceKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier)) return false;
  const bool bySecond = modifiers & Qt::ControlModifier;
  CursorStep step{};
  switch (key) {
  case Qt::Key_Left: step = bySecond ? CursorStep::SecondBack : CursorStep::BufferBack; break;
  case Qt::Key_Right:
    step = bySecond ? CursorStep::SecondForward : CursorStep::BufferForward;
    break;
  case Qt::Key_PageUp: step = CursorStep::ScreenBack; break;
  case Qt::Key_PageDown: step = CursorStep::ScreenForward; break;
  case Qt::Key_Home: step = CursorStep::DocumentStart; break;
  case Qt::Key_End: step = CursorStep::DocumentEnd; break;
  default: return false;
  }
  if (!m_open || Document().EditBusy || m_view.DragActive()) return true;
  const bool moved = m_view.MoveCursor(step, modifiers & Qt::ShiftModifier);
  // Even a cursor that stays put comes back into a view scrolled away from it.
  const bool scrolled = m_view.FollowCursor();
  if (scrolled) SyncScrollBar();
  if (moved || scrolled) RedrawView();
  if (moved) ShowPositions();
  return true;
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
