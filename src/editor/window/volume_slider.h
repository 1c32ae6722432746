#pragma once
// The playback volume slider of the editor's volume tool bar: a track
// (ImageVolume) and a handle (ImageHandle) dragged along it with the left
// button. The handle's place stands for the right channel's volume; a drag
// sets both channels alike.

#include <QWidget>
#include <cstdint>
#include <functional>

namespace tavrin::editor {

class VolumeSlider : public QWidget {
  Q_OBJECT
public:
  static constexpr int kTrackWidth = 105;
  static constexpr int kHandleWidth = 11;
  static constexpr int kHandleHeight = 20;

  explicit VolumeSlider(QWidget* parent = nullptr);

  // Places the handle for a volume word (left in the low 16 bits, right in the high).
  void ShowVolume(std::uint32_t volume);
  int HandleLeft() const { return m_handleLeft; }
  // Volume units per pixel of handle travel.
  float PlaybackVolumePerPixel() const;
  // The handle's outline in its idle colour (the pointer is elsewhere).
  void HandleIdle();

  // Mouse handlers in the slider's own coordinates; x is the pointer's.
  void ImageHandleMouseDown(int x, bool leftOnly);
  void ImageHandleMouseMove(int x, bool leftOnly);
  void ImageVolumeMouseMove();

  std::function<void(std::uint32_t volume)> VolumeChanged;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

private:
  bool OverHandle(int x) const;
  int m_handleLeft = 0;
  int m_dragOriginX = 0;
  int m_dragStartLeft = 0;
  bool m_highlighted = false;
  bool m_dragging = false;  // pressed on the handle with the left button alone
};

}  // namespace tavrin::editor
