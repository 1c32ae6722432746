#pragma once
// The recorder window's own drawing surface (frames, meters, time bar) and the
// recording-volume knob. Both only forward to TFormMain and paint its pictures.

#include <QImage>
#include <QString>
#include <QWidget>

#include "settings/color_schemes.h"

namespace tavrin::recorder_ui {

class TFormMain;

// A peak of 0 .. 32768 in whole dBFS ("-12"), "-∞" for silence: how the
// channels and each recorded source are read out.
QString PeakDecibelsText(int peak);

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

// One channel of the level or the DC meter as a screen reader sees it: a bar
// with its value (a progress bar, the nearest role there is), over the part of
// the surface that draws it. It draws nothing and lets the mouse through.
class MeterReadout : public QWidget {
  Q_OBJECT
public:
  enum class Kind { LevelLeft, LevelRight, DcLeft, DcRight };
  MeterReadout(TFormMain& form, Kind kind, const QString& name, const QRect& area, QWidget* parent);
  // dBFS for a level (-90 for silence), per cent of full scale for an offset.
  double Value() const;
  // "-12 dB", "-0 dB, clipping", "0.4 %".
  QString ValueText() const;
  bool IsLevel() const { return m_kind == Kind::LevelLeft || m_kind == Kind::LevelRight; }

private:
  TFormMain& m_form;
  Kind m_kind;
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
