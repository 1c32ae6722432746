#pragma once
// The recorder window's own drawing surface (frames, meters, time bar) and the
// recording-volume knob. Both only forward to TFormMain and paint its pictures.

#include <QWidget>

namespace tavrin::recorder_ui {

class TFormMain;

inline constexpr int kClientWidth = 464;
inline constexpr int kClientHeight = 312;
inline constexpr int kMenuBarHeight = 24;
inline constexpr int kStatusBarHeight = 22;
inline constexpr int kUpperFrameBottom = 112;  // Shape1, the audio device control panel

class MainSurface : public QWidget {
  Q_OBJECT
public:
  explicit MainSurface(TFormMain& form);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

private:
  TFormMain& m_form;
};

class KnobWidget : public QWidget {
  Q_OBJECT
public:
  KnobWidget(TFormMain& form, QWidget* parent);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  TFormMain& m_form;
};

}  // namespace tavrin::recorder_ui
