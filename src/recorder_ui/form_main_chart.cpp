#include "recorder_ui/form_main_chart.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>

namespace tavrin::recorder_ui {

LevelChartView::LevelChartView(QWidget* parent, const ChartSeries& series1,
                               const ChartSeries& series2, const ChartSeries& series3)
    : QWidget(parent), m_series1(series1), m_series2(series2), m_series3(series3) {
  // Every pixel is painted: nothing underneath needs drawing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void LevelChartView::SetBackground(const QColor& color) {
  m_background = color;
}

QPointF LevelChartView::ToPixel(QPoint point) const {
  const double columns = width() - 1;
  const double rows = height() - 1;
  return {point.x() * columns / width(), rows - point.y() * rows / height()};
}

void LevelChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), m_background);
  for (const ChartSeries* series : {&m_series1, &m_series2}) {
    if (series->Points.isEmpty()) continue;
    QPolygonF line;
    line.reserve(series->Points.size());
    for (QPoint point : series->Points) line.append(ToPixel(point));
    painter.setPen(QPen(series->Color, 0));  // one pixel wide, whatever the scale
    painter.drawPolyline(line);
  }
  // A clip mark is 1 x 2 pixels, hanging from the point.
  for (QPoint point : m_series3.Points) {
    const QPointF pixel = ToPixel(point);
    painter.fillRect(QRectF(qRound(pixel.x()), qRound(pixel.y()), 1, 2), m_series3.Color);
  }
}

}  // namespace tavrin::recorder_ui
