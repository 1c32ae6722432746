#pragma once
// The editor window's central area: shows the view's pictures, frames and
// play line, holds the scroll bar, zoom buttons and markers, and passes the
// mouse, key and resize events to the window. It takes the focus for the keys.

#include <QWidget>

class QLabel;
class QPushButton;
class QScrollBar;

namespace tavrin::editor {

class TFormEdit;

class EditSurface : public QWidget {
  Q_OBJECT
public:
  explicit EditSurface(TFormEdit& form);

  QScrollBar* ScrollBar = nullptr;
  QPushButton* BtnInc = nullptr;
  QPushButton* BtnDec = nullptr;
  QWidget* ShapeSelected = nullptr;
  QLabel* ImagePoint = nullptr;
  QLabel* ImagePlay = nullptr;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  TFormEdit& m_form;
};

}  // namespace tavrin::editor
