#pragma once

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>

namespace tavrin::testing {

// What stands in the way of a keyboard or screen-reader user of `window`:
// visible siblings that run into each other (a caption wholly inside a widget
// is put there on purpose), and lists, sliders and spin boxes without a name
// of their own (Qt on Linux names a list by its value: its linked label names it).
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
