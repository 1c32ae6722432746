#include "editor/window/edit_surface.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include "editor/window/form_edit.h"

namespace tavrin::editor {

namespace {

QPushButton* ZoomButton(QWidget* parent, const QString& text, const char* name) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setStyleSheet(QStringLiteral("color: blue; font-weight: bold; padding: 0px;"));
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

// A 16 x 16 marker, a small triangle pointing at the waveform; the mouse goes through it.
QLabel* Marker(QWidget* parent, const char* name, const QColor& color, bool pointingUp) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  if (pointingUp) {
    painter.drawPolygon(QPolygon({QPoint(8, 2), QPoint(14, 13), QPoint(2, 13)}));
  } else {
    painter.drawPolygon(QPolygon({QPoint(2, 3), QPoint(14, 3), QPoint(8, 14)}));
  }
  painter.end();
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setPixmap(pixmap);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  return label;
}

}  // namespace

EditSurface::EditSurface(TFormEdit& form) : QWidget(&form), m_form(form) {
  setObjectName(QStringLiteral("EditSurface"));
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  ShapeSelected = new QWidget(this);
  ShapeSelected->setObjectName(QStringLiteral("ShapeSelected"));
  ShapeSelected->setAutoFillBackground(true);
  QPalette palette = ShapeSelected->palette();
  palette.setColor(QPalette::Window, QColor(80, 80, 110));
  ShapeSelected->setPalette(palette);
  ShapeSelected->setAttribute(Qt::WA_TransparentForMouseEvents);
  ScrollBar = new QScrollBar(Qt::Horizontal, this);
  ScrollBar->setObjectName(QStringLiteral("ScrollBar"));
  BtnInc = ZoomButton(this, QStringLiteral("+"), "BtnInc");
  BtnDec = ZoomButton(this, QStringLiteral("-"), "BtnDec");
  ImagePoint = Marker(this, "ImagePoint", QColor(100, 100, 255), false);
  ImagePlay = Marker(this, "ImagePlay", QColor(40, 170, 40), true);
  ImagePlay->hide();
}

void EditSurface::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  m_form.PaintSurface(painter);
}

void EditSurface::resizeEvent(QResizeEvent*) {
  m_form.FormResize();
}

void EditSurface::mousePressEvent(QMouseEvent* event) {
  m_form.FormMouseDown(event->position().toPoint(), event->button() == Qt::LeftButton,
                       event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier);
}

void EditSurface::mouseMoveEvent(QMouseEvent* event) {
  m_form.FormMouseMove(event->position().toPoint(), (event->buttons() & Qt::LeftButton) != 0,
                       event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier);
}

void EditSurface::mouseReleaseEvent(QMouseEvent* event) {
  m_form.FormMouseUp(event->position().toPoint());
}

void EditSurface::keyPressEvent(QKeyEvent* event) {
  if (!m_form.SurfaceKeyDown(event->key(), event->modifiers())) QWidget::keyPressEvent(event);
}

}  // namespace tavrin::editor
