#include "recorder_ui/form_main_surface.h"

#include <QMouseEvent>
#include <QPainter>

#include "recorder_ui/form_main.h"

namespace tavrin::recorder_ui {

MainSurface::MainSurface(TFormMain& form) : QWidget(&form), m_form(form) {
  setFixedSize(kClientWidth, kClientHeight);
  setMouseTracking(true);
  // The background image covers every pixel: what lies below need not be painted first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

const QImage& MainSurface::Background() {
  const settings::WindowColors& colors = m_form.Colors();
  const int scale = m_form.State().TimeScaleMinutes;
  const QString mode = m_form.RecordingModeText();
  const qreal ratio = devicePixelRatioF();
  if (!m_background.isNull() && m_background.devicePixelRatio() == ratio &&
      m_backgroundColors == colors && m_backgroundScale == scale && m_backgroundMode == mode) {
    return m_background;
  }
  m_backgroundColors = colors;
  m_backgroundScale = scale;
  m_backgroundMode = mode;
  m_background = QImage(size() * ratio, QImage::Format_RGB32);
  m_background.setDevicePixelRatio(ratio);
  QPainter painter(&m_background);
  painter.fillRect(rect(), drawing::ToQColor(colors.BaseColor));
  DrawFrames(painter, colors, m_form.Layout());
  DrawTimeBarFrame(painter, colors, m_form.Layout(), scale, mode);
  return m_background;
}

void MainSurface::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const MainLayout& layout = m_form.Layout();
  // Only the region being painted is copied: the painter clips to it.
  painter.drawImage(0, 0, Background());
  // The meters and the time bar are composed off-screen; here they are copied whole.
  painter.drawImage(layout.LevelX0, layout.LevelY0, m_form.LevelMeterBitmap());
  painter.drawImage(layout.DcX0, layout.DcY0, m_form.DcMeterBitmap());
  painter.drawImage(layout.TimeBarLeft, layout.TimeBarTop, m_form.TimeBarImage());
}

void MainSurface::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (point.y() < kUpperFrameBottom) m_form.Shape1MouseMove(point.x(), point.y());
}

KnobWidget::KnobWidget(TFormMain& form, QWidget* parent) : QWidget(parent), m_form(form) {
  setMouseTracking(true);
  setToolTip(tr("刻录音量"));
  setAccessibleName(tr("刻录音量"));
}

void KnobWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawImage(0, 0, m_form.KnobImage());
}

void KnobWidget::mousePressEvent(QMouseEvent* event) {
  m_form.ImageVolMouseDown(event->button() == Qt::LeftButton,
                           static_cast<int>(event->position().x()));
}

void KnobWidget::mouseMoveEvent(QMouseEvent* event) {
  m_form.ImageVolMouseMove(static_cast<int>(event->position().x()));
}

void KnobWidget::mouseReleaseEvent(QMouseEvent* /*event*/) {
  m_form.ImageVolMouseUp();
}

}  // namespace tavrin::recorder_ui
