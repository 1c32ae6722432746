#include "editor/window/tool_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace tavrin::editor {

namespace {

constexpr int kSize = 24;
const QColor kInk(50, 60, 80);
const QColor kAccent(40, 120, 200);
const QColor kGreen(40, 150, 60);
const QColor kRed(190, 50, 50);

void SetPenAndBrush(QPainter& p, const QPen& pen, const QBrush& brush) {
  p.setPen(pen);
  p.setBrush(brush);
}

void Arrow(QPainter& p, bool left) {
  QPainterPath path;
  path.moveTo(left ? 19 : 5, 17);
  path.cubicTo(left ? 19 : 5, 8, left ? 12 : 12, 7, left ? 6 : 18, 9);
  p.setPen(QPen(kAccent, 2.2));
  p.drawPath(path);
  SetPenAndBrush(p, Qt::NoPen, kAccent);
  p.drawPolygon(left ? QPolygonF({QPointF(3, 9), QPointF(9, 4), QPointF(9, 13)})
                     : QPolygonF({QPointF(21, 9), QPointF(15, 4), QPointF(15, 13)}));
}

void Page(QPainter& p, QRectF rect) {
  SetPenAndBrush(p, QPen(kInk, 1.4), Qt::white);
  p.drawRect(rect);
}

void Wave(QPainter& p, double top, double bottom, const QColor& color) {
  QPainterPath path;
  path.moveTo(3, (top + bottom) / 2);
  for (int x = 3; x <= 21; ++x) {
    const double swing = (bottom - top) / 2 * ((x % 4 < 2) ? 1 : -1) * 0.8;
    path.lineTo(x, (top + bottom) / 2 + swing);
  }
  SetPenAndBrush(p, QPen(color, 1.3), Qt::NoBrush);
  p.drawPath(path);
}

void Draw(QPainter& p, Glyph glyph) {
  switch (glyph) {
  case Glyph::SaveAll:
  case Glyph::SaveSelection:
    SetPenAndBrush(p, QPen(kInk, 1.4), kAccent);
    p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 3, 10, 7));
    p.drawRect(QRectF(6, 14, 12, 7));
    if (glyph == Glyph::SaveSelection) {
      p.setBrush(kGreen);
      p.drawRect(QRectF(8, 15.5, 8, 4));
    }
    break;
  case Glyph::Settings:
    p.setPen(QPen(kInk, 3));
    for (int i = 0; i < 4; ++i) {
      p.drawLine(QPointF(12, 3), QPointF(12, 21));
      p.translate(12, 12);
      p.rotate(45);
      p.translate(-12, -12);
    }
    p.resetTransform();
    SetPenAndBrush(p, QPen(kInk, 2), Qt::white);
    p.drawEllipse(QPointF(12, 12), 5, 5);
    break;
  case Glyph::Folder:
    SetPenAndBrush(p, QPen(kInk, 1.4), QColor(230, 190, 80));
    p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(9, 6), QPointF(11, 8), QPointF(22, 8),
                             QPointF(22, 20), QPointF(2, 20)}));
    break;
  case Glyph::Undo: Arrow(p, true); break;
  case Glyph::Redo: Arrow(p, false); break;
  case Glyph::Cut:
    p.setPen(QPen(kInk, 1.8));
    p.drawLine(QPointF(7, 3), QPointF(16, 15));
    p.drawLine(QPointF(17, 3), QPointF(8, 15));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(7, 18), 3, 3);
    p.drawEllipse(QPointF(17, 18), 3, 3);
    break;
  case Glyph::Copy:
    Page(p, QRectF(3, 3, 12, 14));
    Page(p, QRectF(9, 7, 12, 14));
    break;
  case Glyph::Paste:
    SetPenAndBrush(p, QPen(kInk, 1.4), QColor(200, 160, 100));
    p.drawRoundedRect(QRectF(4, 4, 16, 18), 2, 2);
    Page(p, QRectF(8, 8, 10, 12));
    p.setBrush(kInk);
    p.drawRect(QRectF(9, 2, 6, 4));
    break;
  case Glyph::Delete:
    p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6, 6), QPointF(18, 18));
    p.drawLine(QPointF(18, 6), QPointF(6, 18));
    break;
  case Glyph::FadeIn:
  case Glyph::FadeOut: {
    const bool in = glyph == Glyph::FadeIn;
    SetPenAndBrush(p, Qt::NoPen, kAccent);
    // A ramp on its baseline: rising for a fade in, falling for a fade out.
    p.drawPolygon(in ? QPolygonF({QPointF(3, 20), QPointF(21, 20), QPointF(21, 4)})
                     : QPolygonF({QPointF(3, 4), QPointF(3, 20), QPointF(21, 20)}));
    break;
  }
  case Glyph::Amplify:
    Wave(p, 4, 20, kAccent);
    p.setPen(QPen(kRed, 2));
    p.drawLine(QPointF(19, 2), QPointF(19, 9));
    p.drawLine(QPointF(15.5, 5.5), QPointF(22.5, 5.5));
    break;
  case Glyph::Normalize:
    Wave(p, 6, 18, kAccent);
    p.setPen(QPen(kInk, 1.2, Qt::DashLine));
    p.drawLine(QPointF(2, 3), QPointF(22, 3));
    p.drawLine(QPointF(2, 21), QPointF(22, 21));
    break;
  case Glyph::Silence:
    Wave(p, 6, 18, kAccent);
    p.setPen(QPen(kInk, 2));
    p.drawLine(QPointF(9, 12), QPointF(15, 12));
    SetPenAndBrush(p, Qt::NoPen, Qt::white);
    p.drawRect(QRectF(9, 4, 6, 7));
    p.drawRect(QRectF(9, 13, 6, 7));
    break;
  case Glyph::PlayAll:
  case Glyph::PlaySelection:
    SetPenAndBrush(p, Qt::NoPen, kGreen);
    p.drawPolygon(QPolygonF({QPointF(7, 4), QPointF(20, 12), QPointF(7, 20)}));
    if (glyph == Glyph::PlaySelection) {
      p.setPen(QPen(kInk, 1.6));
      p.drawLine(QPointF(3, 4), QPointF(3, 20));
      p.drawLine(QPointF(22, 4), QPointF(22, 20));
    }
    break;
  case Glyph::Stop:
    SetPenAndBrush(p, Qt::NoPen, kInk);
    p.drawRect(QRectF(6, 6, 12, 12));
    break;
  }
}

}  // namespace

QIcon DrawnIcon(Glyph glyph) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  Draw(painter, glyph);
  painter.end();
  return QIcon(pixmap);
}

QIcon ToolIcon(const QString& themeName, Glyph glyph) {
  return !themeName.isEmpty() && QIcon::hasThemeIcon(themeName) ? QIcon::fromTheme(themeName)
                                                                : DrawnIcon(glyph);
}

}  // namespace tavrin::editor
