#include "drawing/raster.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <cstdlib>

namespace tavrin::drawing {

namespace {

const QString kCaptionFamily = QStringLiteral("WenQuanYi Micro Hei");

int FloorDiv(int numerator, int denominator) {
  int quotient = numerator / denominator;
  if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) --quotient;
  return quotient;
}

// numerator / denominator to the nearest integer, halves upwards; denominator > 0.
int RoundDiv(int numerator, int denominator) {
  return FloorDiv(2 * numerator + denominator, 2 * denominator);
}

}  // namespace

QColor ToQColor(settings::ColorRef color) {
  return QColor(settings::RedOf(color), settings::GreenOf(color), settings::BlueOf(color));
}

QFont MeterFont() {
  // Looked up once: every paint draws some thirty labels.
  static const QFont font = [] {
    QFont chosen =
        QFontDatabase::hasFamily(kCaptionFamily) ? QFont(kCaptionFamily) : QGuiApplication::font();
    chosen.setPixelSize(12);
    chosen.setStyleStrategy(QFont::NoAntialias);
    return chosen;
  }();
  return font;
}

AliasedPainting::AliasedPainting(QPainter& painter) : m_painter(painter) {
  m_painter.save();
  m_painter.setRenderHint(QPainter::Antialiasing, false);
  m_painter.setRenderHint(QPainter::TextAntialiasing, false);
  m_painter.setBackgroundMode(Qt::TransparentMode);
  m_painter.setBrush(Qt::NoBrush);
}

AliasedPainting::~AliasedPainting() {
  m_painter.restore();
}

void DrawLine(QPainter& painter, const QColor& color, int x0, int y0, int x1, int y1) {
  const int dx = x1 - x0;
  const int dy = y1 - y0;
  if (dx == 0 && dy == 0) return;
  // One pixel per step along the major axis; runs on the same minor
  // coordinate are filled together.
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const int steps = xMajor ? std::abs(dx) : std::abs(dy);
  const int majorSign = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const int minorDelta = xMajor ? dy : dx;
  for (int k = 0; k < steps;) {
    const int minor = RoundDiv(k * minorDelta, steps);
    int next = k + 1;
    while (next < steps && RoundDiv(next * minorDelta, steps) == minor) ++next;
    const int low = majorSign > 0 ? k : -(next - 1);
    const int length = next - k;
    if (xMajor) {
      painter.fillRect(QRect(x0 + low, y0 + minor, length, 1), color);
    } else {
      painter.fillRect(QRect(x0 + minor, y0 + low, 1, length), color);
    }
    k = next;
  }
}

void FillBox(QPainter& painter, const QColor& color, int x0, int y0, int x1, int y1) {
  if (x1 <= x0 || y1 <= y0) return;
  painter.fillRect(QRect(x0, y0, x1 - x0, y1 - y0), color);
}

void DrawTextAt(QPainter& painter, const QColor& color, int x, int y, const QString& text) {
  const QFont font = MeterFont();
  painter.setFont(font);
  painter.setPen(color);
  painter.drawText(x, y + QFontMetrics(font).ascent(), text);
}

void DrawHandleOutline(QImage& handle, bool highlighted) {
  if (handle.isNull()) return;
  if (handle.format() == QImage::Format_Indexed8 || handle.format() == QImage::Format_Mono ||
      handle.format() == QImage::Format_MonoLSB) {
    handle = handle.convertToFormat(handle.hasAlphaChannel() ? QImage::Format_ARGB32
                                                             : QImage::Format_RGB32);
  }
  const QColor pen = highlighted ? QColor(0xC0, 0xC0, 0xC0) : QColor(0x80, 0x80, 0x80);
  QPainter painter(&handle);
  AliasedPainting aliased(painter);
  // Rounded rectangle (1, 1)-(9, 18) with 2 x 2 corners: the outline of
  // x 1..8, y 1..17 without its four corner pixels.
  constexpr int kLeft = 1, kTop = 1, kRight = 8, kBottom = 17;
  DrawLine(painter, pen, kLeft + 1, kTop, kRight, kTop);
  DrawLine(painter, pen, kLeft + 1, kBottom, kRight, kBottom);
  DrawLine(painter, pen, kLeft, kTop + 1, kLeft, kBottom);
  DrawLine(painter, pen, kRight, kTop + 1, kRight, kBottom);
}

}  // namespace tavrin::drawing
