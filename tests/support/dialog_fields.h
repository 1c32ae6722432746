#pragma once

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>

namespace tavrin::testing {

// Visible siblings in `window` that run into each other (not one wholly inside the other), and
// lists, sliders and spin boxes a screen reader cannot tell apart.
inline QStringList FieldFaults(QWidget& window) {
  const auto describe = [](const QWidget* widget) {
    if (!widget->objectName().isEmpty()) return widget->objectName();
    const auto* label = qobject_cast<const QLabel*>(widget);
    return QString::fromLatin1(widget->metaObject()->className()) + " \"" +
           (label ? label->text() : widget->accessibleName()) + "\"";
  };
  QStringList faults, names;
  for (QWidget* a : window.findChildren<QWidget*>()) {
    if (!a->isVisibleTo(&window)) continue;
    const auto siblings = a->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* b : siblings.mid(siblings.indexOf(a) + 1)) {
      const QRect ra = a->geometry(), rb = b->geometry();
      if (b->isVisibleTo(&window) && ra.intersects(rb) && !ra.contains(rb) && !rb.contains(ra))
        faults << describe(a) + QStringLiteral(" overlaps ") + describe(b);
    }
    const bool list = qobject_cast<QComboBox*>(a);
    if (!list && !qobject_cast<QAbstractSlider*>(a) && !qobject_cast<QAbstractSpinBox*>(a))
      continue;
    // A list is read by its value: it is told apart by its linked label.
    QAccessibleInterface* named = QAccessible::queryAccessibleInterface(a);
    if (list) named = named->relations(QAccessible::Label).value(0).first;
    const QString name = named ? named->text(QAccessible::Name) : QString();
    if (name.trimmed().isEmpty() || names.contains(name)) faults << describe(a) + ": " + name;
    names << name;
  }
  return faults;
}

}  // namespace tavrin::testing
