#pragma once
// The recorder window's own drawing surface (frames, meters, time bar) and the
// recording-volume knob. Both only forward to TFormMain and paint its pictures.

#include <QImage>
#include <QString>
#include <QWidget>

#include "settings/color_schemes.h"

namespace tavrin::recorder_ui {

class TFormMain;

inline constexpr int kClientWidth = 464;
inline constexpr int kClientHeight = 312;
inline constexpr int kMenuBarHeight = 24;
inline constexpr int kStatusBarHeight = 22;
inline constexpr int kStatusPanelHeight = 17;  // a panel inside the status bar
inline constexpr int kUpperFrameBottom = 112;  // Shape1, the audio device control panel

class MainSurface : public QWidget {
  Q_OBJECT
public:
  explicit MainSurface(TFormMain& form);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

private:
  // The background, frames and time-bar frame change only with the colours,
  // the time scale and the recording mode: drawn once, then copied.
  const QImage& Background();

  TFormMain& m_form;
  QImage m_background;
  settings::WindowColors m_backgroundColors;
  int m_backgroundScale = -1;
  QString m_backgroundMode;
};

class KnobWidget : public QWidget {
  Q_OBJECT
public:
  KnobWidget(TFormMain& form, QWidget* parent);
  // The recording level it stands for, 0..99, as a screen reader reads and sets it.
  int Level() const;
  void SetLevel(int level);

protected:
  void paintEvent(QPaintEvent* event) override;
  // Arrows move it a step, Page Up/Down ten, Home/End to its stops.
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  TFormMain& m_form;
};

}  // namespace tavrin::recorder_ui
