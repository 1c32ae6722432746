#pragma once

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>

namespace tavrin::testing {

// Visible siblings in `window` that run into each other (not one wholly inside the other), and
// lists, sliders and spin boxes a screen reader cannot tell apart (a list by its linked label).
inline QStringList FieldFaults(QWidget& window) {
  QStringList faults, names;
  for (QWidget* a : window.findChildren<QWidget*>()) {
    if (!a->isVisibleTo(&window)) continue;
    const auto siblings = a->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* b : siblings.mid(siblings.indexOf(a) + 1)) {
      const QRect ra = a->geometry(), rb = b->geometry();
      if (b->isVisibleTo(&window) && ra.intersects(rb) && !ra.contains(rb) && !rb.contains(ra))
        faults << a->objectName() + QStringLiteral(" overlaps ") + b->objectName();
    }
    const bool list = qobject_cast<QComboBox*>(a);
    if (!list && !qobject_cast<QAbstractSlider*>(a) && !qobject_cast<QAbstractSpinBox*>(a))
      continue;
    QAccessibleInterface* named = QAccessible::queryAccessibleInterface(a);
    if (list) named = named->relations(QAccessible::Label).value(0).first;
    const QString name = named ? named->text(QAccessible::Name) : QString();
    if (name.trimmed().isEmpty() || names.contains(name)) faults << a->objectName() + ": " + name;
    names << name;
  }
  return faults;
}

}  // namespace tavrin::testing
