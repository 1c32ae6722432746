#pragma once
// What a keyboard or screen-reader user meets in a dialog's fields: two
// visible widgets drawn over each other, and a field (list, slider, spin box,
// time) that a screen reader names by its value, by its group's title, or by a
// name another field has too.

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QStringList>
#include <QWidget>

namespace tavrin::testing {

// The pairs of `area`'s visible widgets that overlap, neither inside the other.
inline QStringList Overlaps(QWidget& area) {
  QList<QWidget*> widgets;
  for (QWidget* widget : area.findChildren<QWidget*>()) {
    if (widget->isVisibleTo(&area) && !widget->isWindow()) widgets << widget;
  }
  QStringList faults;
  for (qsizetype i = 0; i < widgets.size(); ++i) {
    for (qsizetype j = i + 1; j < widgets.size(); ++j) {
      QWidget* a = widgets[i];
      QWidget* b = widgets[j];
      if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
      const QRect ra(a->mapTo(&area, QPoint(0, 0)), a->size());
      const QRect rb(b->mapTo(&area, QPoint(0, 0)), b->size());
      if (ra.intersects(rb))
        faults << a->objectName() + QStringLiteral(" overlaps ") + b->objectName();
    }
  }
  return faults;
}

// The name a screen reader gives `field`: Qt's, except for a list, which Qt
// on Linux names by its value, leaving it to the label linked to it.
inline QString ReaderName(QWidget& field) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&field);
  if (!accessible) return {};
  if (qobject_cast<QComboBox*>(&field) && field.accessibleName().isEmpty()) {
    const auto labels = accessible->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.front().first->text(QAccessible::Name);
  }
  return accessible->text(QAccessible::Name);
}

// The faults of the names of `window`'s visible fields.
inline QStringList FieldNameFaults(QWidget& window) {
  QStringList faults;
  QStringList names;
  for (QWidget* field : window.findChildren<QWidget*>()) {
    const bool isField = qobject_cast<QComboBox*>(field) || qobject_cast<QAbstractSlider*>(field) ||
                         qobject_cast<QAbstractSpinBox*>(field);
    if (!isField || !field->isVisibleTo(&window)) continue;
    const QString name = ReaderName(*field).trimmed();
    const auto* group = qobject_cast<QGroupBox*>(field->parentWidget());
    const auto* list = qobject_cast<QComboBox*>(field);
    QString fault;
    if (name.isEmpty()) {
      fault = QStringLiteral("no name");
    } else if (list && name == list->currentText()) {
      fault = QStringLiteral("named by its value");
    } else if (group && name == group->title()) {
      fault = QStringLiteral("named by its group");
    } else if (names.contains(name)) {
      fault = QStringLiteral("shares its name");
    }
    if (!fault.isEmpty())
      faults << field->objectName() + QStringLiteral(" \"") + name + "\": " + fault;
    names << name;
  }
  return faults;
}

}  // namespace tavrin::testing
