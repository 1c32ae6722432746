#include "editor/window/volume_slider.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "drawing/raster.h"

namespace tavrin::editor {

namespace {

constexpr int kTrackLeft = 0;
constexpr int kTravel = VolumeSlider::kTrackWidth - VolumeSlider::kHandleWidth;

}  // namespace

VolumeSlider::VolumeSlider(QWidget* parent) : QAbstractSlider(parent) {
  setObjectName(QStringLiteral("ImageVolume"));
  setToolTip(tr("回放音量"));
  setAccessibleName(toolTip());
  setFixedSize(kTrackWidth, kHandleHeight);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setOrientation(Qt::Horizontal);
  setRange(kTrackLeft, kTrackLeft + kTravel);
  setPageStep(10);
  SayVolume();
  // The keys and the wheel move the value; a drag moves it through HandleMoved.
  connect(this, &QAbstractSlider::actionTriggered, this, [this] { HandleMoved(sliderPosition()); });
}

float VolumeSlider::PlaybackVolumePerPixel() const {
  return 65535.0f / static_cast<float>(kTravel);
}

void VolumeSlider::ShowVolume(std::uint32_t volume) {
  const double pixels = static_cast<double>(volume >> 16) / PlaybackVolumePerPixel();
  setValue(kTrackLeft + static_cast<int>(std::nearbyint(pixels)));
  SayVolume();
}

void VolumeSlider::HandleMoved(int left) {
  setValue(left);
  SayVolume();
  const auto v = static_cast<std::uint32_t>(
      std::nearbyint(static_cast<double>(left - kTrackLeft) * PlaybackVolumePerPixel()));
  if (VolumeChanged) VolumeChanged(v + v * 65536u);
}

void VolumeSlider::SayVolume() {
  const int percent = static_cast<int>(
      std::nearbyint(100.0 * (value() - kTrackLeft) / static_cast<double>(kTravel)));
  setAccessibleDescription(QStringLiteral("%1%").arg(percent));
}

void VolumeSlider::HandleIdle() {
  if (!m_highlighted) return;
  m_highlighted = false;
  update();
}

bool VolumeSlider::OverHandle(int x) const {
  return x >= value() && x < value() + kHandleWidth;
}

void VolumeSlider::ImageHandleMouseDown(int x, bool leftOnly) {
  if (!leftOnly) return;
  m_dragOriginX = x;
  m_dragStartLeft = value();
}

void VolumeSlider::ImageHandleMouseMove(int x, bool leftOnly) {
  if (!m_highlighted) {
    m_highlighted = true;
    update();
  }
  if (!leftOnly) return;
  const int left = m_dragStartLeft + x - m_dragOriginX;
  // A move that would take the handle off the track leaves it where it is.
  if (left < kTrackLeft || left > kTrackLeft + kTravel) return;
  HandleMoved(left);
}

void VolumeSlider::ImageVolumeMouseMove() {
  HandleIdle();
}

void VolumeSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int middle = height() / 2;
  painter.fillRect(QRect(0, middle - 2, kTrackWidth, 4), QColor(120, 120, 120));
  painter.fillRect(QRect(0, middle - 2, kTrackWidth, 1), QColor(80, 80, 80));
  // The handle with the outline every slider handle of the program has.
  QImage handle(kHandleWidth, kHandleHeight, QImage::Format_RGB32);
  handle.fill(QColor(212, 208, 200));
  drawing::DrawHandleOutline(handle, m_highlighted);
  painter.drawImage(value(), 0, handle);
  if (hasFocus()) {
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void VolumeSlider::mousePressEvent(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  m_dragging = OverHandle(x) && event->buttons() == Qt::LeftButton;
  if (m_dragging) ImageHandleMouseDown(x, true);
}

void VolumeSlider::mouseReleaseEvent(QMouseEvent*) {
  m_dragging = false;
}

void VolumeSlider::mouseMoveEvent(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  const bool leftOnly = event->buttons() == Qt::LeftButton;
  // A drag keeps the handle even when the pointer runs ahead of it.
  if (OverHandle(x) || (m_dragging && leftOnly)) {
    ImageHandleMouseMove(x, leftOnly);
  } else {
    ImageVolumeMouseMove();
  }
}

void VolumeSlider::leaveEvent(QEvent*) {
  HandleIdle();
}

}  // namespace tavrin::editor
