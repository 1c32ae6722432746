#include "recorder_ui/form_main_surface.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "recorder_ui/device_check.h"
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

namespace {

// The knob as a screen reader sees it: a slider with its level.
class KnobAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
  explicit KnobAccessible(KnobWidget* knob) : QAccessibleWidget(knob, QAccessible::Slider) {}
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Value) return QString::number(Knob().Level()) + QStringLiteral(" %");
    return QAccessibleWidget::text(type);
  }
  QVariant currentValue() const override { return Knob().Level(); }
  void setCurrentValue(const QVariant& value) override { Knob().SetLevel(value.toInt()); }
  QVariant maximumValue() const override { return 99; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

private:
  KnobWidget& Knob() const { return *static_cast<KnobWidget*>(widget()); }
};

class MeterAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
  explicit MeterAccessible(MeterReadout* meter)
      : QAccessibleWidget(meter, QAccessible::ProgressBar) {}
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Value) return Meter().ValueText();
    return QAccessibleWidget::text(type);
  }
  QVariant currentValue() const override { return Meter().Value(); }
  void setCurrentValue(const QVariant& /*value*/) override {}
  QVariant maximumValue() const override { return Meter().IsLevel() ? 0.0 : 100.0; }
  QVariant minimumValue() const override { return Meter().IsLevel() ? -90.0 : -100.0; }
  QVariant minimumStepSize() const override { return 0.1; }

private:
  MeterReadout& Meter() const { return *static_cast<MeterReadout*>(widget()); }
};

QAccessibleInterface* KnobInterface(const QString& /*className*/, QObject* object) {
  if (auto* meter = qobject_cast<MeterReadout*>(object)) return new MeterAccessible(meter);
  auto* knob = qobject_cast<KnobWidget*>(object);
  return knob ? new KnobAccessible(knob) : nullptr;
}

void InstallAccessibleInterfaces() {
  static const bool installed = (QAccessible::installFactory(KnobInterface), true);
  static_cast<void>(installed);
}

}  // namespace

QString PeakDecibelsText(int peak) {
  return peak == 0 ? QStringLiteral("-∞")
                   : QString::number(20.0 * std::log10(peak / 32768.0), 'f', 0);
}

MeterReadout::MeterReadout(TFormMain& form, Kind kind, const QString& name, const QRect& area,
                           QWidget* parent)
    : QWidget(parent), m_form(form), m_kind(kind) {
  InstallAccessibleInterfaces();
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(area);
  setAccessibleName(name);
}

double MeterReadout::Value() const {
  const capture::RecorderState& state = m_form.State();
  switch (m_kind) {
  case Kind::LevelLeft:
  case Kind::LevelRight: {
    const bool left = m_kind == Kind::LevelLeft;
    const int peak = std::max(std::abs(int{left ? state.MaxLeft : state.MaxRight}),
                              std::abs(int{left ? state.MinLeft : state.MinRight}));
    return peak == 0 ? -90.0 : std::max(-90.0, 20.0 * std::log10(peak / 32768.0));
  }
  case Kind::DcLeft: return state.DcMeterLeft / 327.68;
  case Kind::DcRight: return state.DcMeterRight / 327.68;
  }
  return 0.0;
}

QString MeterReadout::ValueText() const {
  if (!IsLevel()) return QString::number(Value(), 'f', 1) + QStringLiteral(" %");
  const capture::RecorderState& state = m_form.State();
  const bool clipping = (m_kind == Kind::LevelLeft ? state.ClipHoldLeft : state.ClipHoldRight) > 0;
  return QString::number(Value(), 'f', 0) + QStringLiteral(" dB") +
         (clipping ? tr("，削波") : QString());
}

KnobWidget::KnobWidget(TFormMain& form, QWidget* parent) : QWidget(parent), m_form(form) {
  InstallAccessibleInterfaces();
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setToolTip(tr("刻录音量"));
  setAccessibleName(tr("刻录音量"));
}

int KnobWidget::Level() const {
  return m_form.VolumeLevel();
}

void KnobWidget::SetLevel(int level) {
  m_form.ImageVolStep(KnobLeftForLevel(level) - m_form.DeviceCheck().KnobLeft);
}

void KnobWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawImage(0, 0, m_form.KnobImage());
  if (hasFocus()) {
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void KnobWidget::keyPressEvent(QKeyEvent* event) {
  int pixels = 0;
  switch (event->key()) {
  case Qt::Key_Left:
  case Qt::Key_Down: pixels = -1; break;
  case Qt::Key_Right:
  case Qt::Key_Up: pixels = 1; break;
  case Qt::Key_PageDown: pixels = -10; break;
  case Qt::Key_PageUp: pixels = 10; break;
  case Qt::Key_Home: pixels = -kVolumeSliderRightEdge; break;
  case Qt::Key_End: pixels = kVolumeSliderRightEdge; break;
  default: QWidget::keyPressEvent(event); return;
  }
  m_form.ImageVolStep(pixels);
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
