#pragma once
// What is wrong with the texts a window shows, in the language the program
// speaks: a Chinese character left in an English window, a caption cut off by
// the room its place gives it, a control a screen reader cannot name.

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QWidget>

namespace tavrin::testing {

inline bool HasChinese(const QString& text) {
  static const QRegularExpression chinese(
      QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
  return chinese.match(text).hasMatch();
}

// Every text `widget` shows or says (title, caption, items, hints, accessible texts).
inline QStringList ShownTexts(QWidget& widget) {
  QStringList texts{widget.windowTitle(), widget.toolTip(), widget.accessibleName(),
                    widget.accessibleDescription()};
  if (auto* label = qobject_cast<QLabel*>(&widget)) texts << label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(&widget)) texts << button->text();
  if (auto* group = qobject_cast<QGroupBox*>(&widget)) texts << group->title();
  if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
  }
  if (auto* tabs = qobject_cast<QTabBar*>(&widget)) {
    for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i);
  }
  for (QAction* action : widget.actions()) texts << action->text() << action->toolTip();
  return texts;
}

// Why `widget`'s caption does not fit the place it was given; empty when it does.
inline QString CutOff(QWidget& widget) {
  const QFontMetrics metrics = widget.fontMetrics();
  QString caption;
  int needed = 0;
  if (auto* label = qobject_cast<QLabel*>(&widget); label && !label->text().isEmpty()) {
    caption = label->text();
    needed = label->wordWrap() ? 0 : label->sizeHint().width();
    if (label->wordWrap() && label->heightForWidth(label->width()) > label->height()) {
      return QStringLiteral("\"%1\" needs more lines than its %2 px")
          .arg(caption)
          .arg(label->height());
    }
  } else if (qobject_cast<QCheckBox*>(&widget) || qobject_cast<QRadioButton*>(&widget)) {
    caption = static_cast<QAbstractButton&>(widget).text();
    needed = caption.isEmpty() ? 0 : widget.sizeHint().width();
  } else if (auto* button = qobject_cast<QPushButton*>(&widget)) {
    caption = button->text();
    needed = metrics.horizontalAdvance(caption) + 6;  // the frame's least margins
  } else if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
    // The field the closed list shows its item in, beside the arrow.
    QStyleOptionComboBox option;
    option.initFrom(combo);
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, combo);
    for (int i = 0; i < combo->count(); ++i) {
      const int width =
          metrics.horizontalAdvance(combo->itemText(i)) + combo->width() - field.width();
      if (width > needed) {
        needed = width;
        caption = combo->itemText(i);
      }
    }
  } else if (auto* group = qobject_cast<QGroupBox*>(&widget)) {
    caption = group->title();
    needed = metrics.horizontalAdvance(caption) + 16;
  }
  if (needed <= widget.width()) return {};
  return QStringLiteral("\"%1\" needs %2 px, has %3").arg(caption).arg(needed).arg(widget.width());
}

// Controls a screen reader reaches must have a name.
inline bool NeedsName(QWidget& widget) {
  return qobject_cast<QAbstractButton*>(&widget) || qobject_cast<QAbstractSlider*>(&widget) ||
         qobject_cast<QComboBox*>(&widget) || qobject_cast<QTabBar*>(&widget);
}

// The faults of `window` and its visible children; `english` when the
// program speaks English.
inline QStringList TextFaults(QWidget& window, bool english) {
  QStringList faults;
  QList<QWidget*> widgets = window.findChildren<QWidget*>();
  widgets.prepend(&window);
  for (QWidget* widget : widgets) {
    if (widget != &window && !widget->isVisibleTo(&window)) continue;
    const QString where = QString::fromLatin1(widget->metaObject()->className()) +
                          QLatin1Char(' ') + widget->objectName();
    for (const QString& text : ShownTexts(*widget)) {
      if (english && HasChinese(text))
        faults << where + QStringLiteral(": Chinese \"") + text + '"';
    }
    if (const QString cut = CutOff(*widget); !cut.isEmpty()) faults << where + ": " + cut;
    if (NeedsName(*widget)) {
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
      if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty()) {
        faults << where + QStringLiteral(": no accessible name");
      }
    }
    if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i).isEmpty()) faults << where + QStringLiteral(": an unnamed tab");
      }
    }
  }
  // Menus show their items' texts as the items' names.
  for (QMenu* menu : window.findChildren<QMenu*>()) {
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator() && action->text().trimmed().isEmpty()) {
        faults << QStringLiteral("menu \"%1\": an item without a name").arg(menu->title());
      }
      if (english && HasChinese(action->text())) {
        faults << QStringLiteral("menu \"%1\": Chinese \"%2\"").arg(menu->title(), action->text());
      }
    }
  }
  return faults;
}

}  // namespace tavrin::testing
