#include "recorder_ui/drawing/level_icons.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cstdlib>

#include "base/samples.h"
#include "capture/signal_processing.h"

namespace tavrin::recorder_ui {

namespace {

constexpr int kLevelSteps = 16;

const QColor kFace(32, 36, 44);
const QColor kRim(110, 120, 135);
const QColor kUnlit(20, 60, 20);
const QColor kGreen(40, 220, 40);
const QColor kYellow(240, 210, 0);
const QColor kRed(235, 30, 30);

// The bar of a level icon: rows counted from the bottom, coloured like a meter.
QRect BarRect(int size) {
  const int margin = size / 8;
  return QRect(size * 5 / 16, margin, size - 2 * (size * 5 / 16), size - 2 * margin);
}

QColor LitColor(int row, int rows) {
  if (row * 10 >= rows * 9) return kRed;
  if (row * 4 >= rows * 3) return kYellow;
  return kGreen;
}

void DrawFace(QPainter& painter, int size) {
  painter.fillRect(QRect(0, 0, size, size), Qt::transparent);
  painter.fillRect(QRect(1, 1, size - 2, size - 2), kRim);
  painter.fillRect(QRect(2, 2, size - 4, size - 4), kFace);
}

}  // namespace

QImage MakeLevelIconImage(int level, int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  DrawFace(painter, size);
  const QRect bar = BarRect(size);
  const int lit = base::RoundHalfEven(static_cast<double>(std::clamp(level, 0, kLevelSteps)) *
                                      bar.height() / kLevelSteps);
  for (int row = 0; row < bar.height(); ++row) {
    const QColor color = row < lit ? LitColor(row, bar.height()) : kUnlit;
    painter.fillRect(QRect(bar.left(), bar.bottom() - row, bar.width(), 1), color);
  }
  return image;
}

QImage MakeApplicationIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  PaintApplicationIcon(painter, size);
  return image;
}

void PaintApplicationIcon(QPainter& painter, int size) {
  DrawFace(painter, size);
  painter.setRenderHint(QPainter::Antialiasing, true);
  // A record dot with a short level bar beside it.
  const int dot = size / 2;
  painter.setPen(Qt::NoPen);
  painter.setBrush(kRed);
  painter.drawEllipse(QRect(size / 8 + 1, (size - dot) / 2, dot, dot));
  const int barLeft = size * 11 / 16;
  const int barWidth = std::max(2, size / 8);
  const int barTop = size / 4;
  painter.fillRect(QRect(barLeft, barTop, barWidth, size / 2), kUnlit);
  painter.fillRect(QRect(barLeft, size / 2, barWidth, size / 4), kGreen);
}

std::array<QIcon, kLevelIconCount> MakeLevelIcons() {
  std::array<QIcon, kLevelIconCount> icons;
  for (int level = 0; level < kApplicationIcon; ++level) {
    for (int size : {16, 32})
      icons[level].addPixmap(QPixmap::fromImage(MakeLevelIconImage(level, size)));
  }
  for (int size : {16, 32}) {
    icons[kApplicationIcon].addPixmap(QPixmap::fromImage(MakeApplicationIconImage(size)));
  }
  return icons;
}

int LevelIconFor(std::int16_t maxLeft, std::int16_t maxRight) {
  const int larger = std::max<int>(maxLeft, maxRight);
  int icon = base::RoundHalfEven(std::abs(larger) / 2048.0);
  if (icon == 0 && maxLeft > 600) icon = 1;
  return std::min(icon, kLevelSteps);
}

}  // namespace tavrin::recorder_ui
