#pragma once
// TFormColors: the small modal dialog in which the user picks one of the five
// window colour schemes, by the mouse or by the keyboard (Tab or the arrows
// move between the swatches, Space or Enter chooses, Escape keeps the scheme).

#include <QDialog>
#include <array>

#include "settings/color_schemes.h"

class QAbstractButton;
class QLabel;

namespace tavrin::settings {

class TFormColors : public QDialog {
  Q_OBJECT

public:
  explicit TFormColors(QWidget* parent = nullptr);

  // Shows the dialog modally with `current` lit; returns the scheme clicked,
  // or `current` when the dialog was closed any other way.
  int Choose(int current);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void ShapeMouseMove(int scheme);
  void ShapeMouseDown(int scheme);
  // Scheme 0 (or any number outside 1..5) lights no label.
  void LightLabel(int scheme);
  // 1..5 for a swatch or its label, 0 for anything else.
  int SchemeOf(const QObject* object) const;

  std::array<QAbstractButton*, kSchemeCount> m_shapes{};
  std::array<QLabel*, kSchemeCount> m_labels{};
  int m_chosen = 0;
};

}  // namespace tavrin::settings
