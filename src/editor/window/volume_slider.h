#pragma once
// The playback volume slider of the editor's volume tool bar: a track
// (ImageVolume) and a handle (ImageHandle) dragged along it with the left
// button, or moved by the arrow keys when it has the focus. Its value is the
// handle's left edge in pixels, which stands for the right channel's volume;
// a drag or a key sets both channels alike.

#include <QAbstractSlider>
#include <cstdint>
#include <functional>

namespace tavrin::editor {

class VolumeSlider : public QAbstractSlider {
  Q_OBJECT
public:
  static constexpr int kTrackWidth = 105;
  static constexpr int kHandleWidth = 11;
  static constexpr int kHandleHeight = 20;

  explicit VolumeSlider(QWidget* parent = nullptr);

  // Places the handle for a volume word (left in the low 16 bits, right in the high).
  void ShowVolume(std::uint32_t volume);
  int HandleLeft() const { return value(); }
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
  // The handle moved to `left` by the user: the volume follows.
  void HandleMoved(int left);
  // A screen reader's reading of the volume, in percent.
  void SayVolume();
  int m_dragOriginX = 0;
  int m_dragStartLeft = 0;
  bool m_highlighted = false;
  bool m_dragging = false;  // pressed on the handle with the left button alone
};

}  // namespace tavrin::editor
