#include "settings/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "settings/color_schemes.h"

namespace tavrin::settings {

namespace {

constexpr int kKnobWidth = 11;
constexpr int kKnobHeight = 20;
constexpr int kTallKnobScheme = 3;
constexpr int kGlyphSize = 16;

// Unlike the window bevels, the artwork saturates instead of wrapping.
QColor Tint(const ColorScheme& scheme, int delta) {
  const auto channel = [delta](int value) { return std::clamp(value + delta, 0, 255); };
  return QColor(channel(scheme.Red), channel(scheme.Green), channel(scheme.Blue));
}

QImage TransparentGlyph() {
  QImage image(kGlyphSize, kGlyphSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

}  // namespace

QImage KnobPicture(int scheme) {
  const int number = ValidSchemeNumber(scheme);
  const ColorScheme& colors = SchemeFor(number);
  const int width = kKnobWidth;
  const int height = number == kTallKnobScheme ? kKnobHeight + 1 : kKnobHeight;
  const int right = width - 1;
  const int bottom = height - 1;

  QImage image(width, height, QImage::Format_RGB32);
  QPainter painter(&image);

  QLinearGradient body(0, 0, width, 0);
  body.setColorAt(0.0, Tint(colors, 45));
  body.setColorAt(0.45, Tint(colors, 10));
  body.setColorAt(1.0, Tint(colors, -35));
  painter.fillRect(image.rect(), body);

  // Two-pixel bevel: light from the top left, shade towards the bottom right.
  painter.setPen(Tint(colors, 90));
  painter.drawLine(0, 0, right - 1, 0);
  painter.drawLine(0, 0, 0, bottom - 1);
  painter.setPen(Tint(colors, 50));
  painter.drawLine(1, 1, right - 2, 1);
  painter.drawLine(1, 1, 1, bottom - 2);
  painter.setPen(Tint(colors, -110));
  painter.drawLine(right, 0, right, bottom);
  painter.drawLine(0, bottom, right, bottom);
  painter.setPen(Tint(colors, -60));
  painter.drawLine(right - 1, 1, right - 1, bottom - 1);
  painter.drawLine(1, bottom - 1, right - 1, bottom - 1);

  // The groove: a dark cut with a lit lower lip, five pixels above the foot.
  const int groove = bottom - 5;
  painter.setPen(Tint(colors, -130));
  painter.drawLine(2, groove, right - 2, groove);
  painter.setPen(Tint(colors, 70));
  painter.drawLine(2, groove + 1, right - 2, groove + 1);
  return image;
}

QImage SourceGlyphXp() {
  QImage image = TransparentGlyph();
  QPainter painter(&image);
  const QColor slot(70, 70, 70);
  const QColor cap(235, 235, 235);
  const QColor capShade(120, 120, 120);
  const QColor outline(20, 20, 20);
  struct Fader {
    int X;
    int CapY;
  };
  for (const Fader fader : {Fader{3, 8}, Fader{8, 3}, Fader{13, 10}}) {
    painter.setPen(slot);
    painter.drawLine(fader.X, 1, fader.X, 14);
    // Cap 5 x 3 centred on the slot, lit top edge, shaded bottom edge.
    painter.fillRect(fader.X - 2, fader.CapY, 5, 3, outline);
    painter.fillRect(fader.X - 1, fader.CapY, 3, 1, cap);
    painter.fillRect(fader.X - 2, fader.CapY + 1, 5, 1, capShade);
  }
  return image;
}

QImage SourceGlyphVista() {
  QImage image = TransparentGlyph();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);

  QPainterPath speaker;
  speaker.moveTo(1.5, 5.5);
  speaker.lineTo(4.5, 5.5);
  speaker.lineTo(8.5, 1.5);
  speaker.lineTo(8.5, 14.5);
  speaker.lineTo(4.5, 10.5);
  speaker.lineTo(1.5, 10.5);
  speaker.closeSubpath();
  QLinearGradient body(0, 0, 0, kGlyphSize);
  body.setColorAt(0.0, QColor(150, 170, 200));
  body.setColorAt(1.0, QColor(60, 80, 115));
  painter.setBrush(body);
  painter.setPen(QPen(QColor(25, 35, 55), 1));
  painter.drawPath(speaker);

  // Sound waves: arcs of radius 3 and 6 about the middle of the cone, 100 degrees each.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(25, 95, 200), 1.5, Qt::SolidLine, Qt::RoundCap));
  constexpr int kSpan = 100 * 16;  // QPainter counts arcs in 1/16 degree
  painter.drawArc(QRectF(5.5, 5.0, 6.0, 6.0), -kSpan / 2, kSpan);
  painter.drawArc(QRectF(2.5, 2.0, 12.0, 12.0), -kSpan / 2, kSpan);
  return image;
}

}  // namespace tavrin::settings
