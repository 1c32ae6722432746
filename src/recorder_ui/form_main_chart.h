#pragma once
// The level chart `ChartWave`: two fast lines (left and right channel) and the
// left channel's clip marks over a plain background, with the axes fixed at
// 0 .. width and 0 .. height and nothing else drawn. It paints the series it
// is given whole; the window redraws it after a series changed.

#include <QColor>
#include <QWidget>

#include "recorder_ui/drawing/level_history.h"

namespace tavrin::recorder_ui {

class LevelChartView : public QWidget {
public:
  LevelChartView(QWidget* parent, const ChartSeries& series1, const ChartSeries& series2,
                 const ChartSeries& series3);
  void SetBackground(const QColor& color);  // shown from the next paint

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  // A point in chart units to its pixel: 0 is the first column and the bottom
  // row, the axis maximum the last column and the top row.
  QPointF ToPixel(QPoint point) const;

  const ChartSeries& m_series1;
  const ChartSeries& m_series2;
  const ChartSeries& m_series3;
  QColor m_background;
};

}  // namespace tavrin::recorder_ui
