// The timer dialog as a keyboard and screen-reader user meets it.
#include <QtTest>

#include "dialog_fields.h"
#include "recorder_ui/form_timer.h"

namespace tavrin::recorder_ui {

class FormTimerTest : public QObject {
  Q_OBJECT
private slots:
  // Each time and number field has a name of its own (not its group's title),
  // and Tab runs through the controls as they read, row by row.
  void fieldsAreNamedAndTabFollowsTheLayout() {
    TFormTimer dialog(
        nullptr, [] { return 0; }, [](const QString&) {});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QStringList faults = testing::FieldNameFaults(dialog);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

    const auto at = [&dialog](const QWidget* widget) { return widget->mapTo(&dialog, QPoint()); };
    QWidget* first = dialog.findChild<QWidget*>(QStringLiteral("ChBoxTimer"));
    first->setFocus();
    QStringList visited;
    QWidget* previous = first;
    for (QWidget* current = first;;) {
      QTest::keyClick(current, Qt::Key_Tab);
      current = dialog.focusWidget();
      if (current == first || visited.size() > 40) break;
      visited << current->objectName();
      const QPoint from = at(previous), to = at(current);
      if (to.y() < from.y() || (to.y() == from.y() && to.x() < from.x())) {
        QFAIL(
            qPrintable(QStringLiteral("Tab goes back from %1 to %2 (%3)")
                           .arg(previous->objectName(), current->objectName(), visited.join(' '))));
      }
      previous = current;
    }
    QVERIFY2(visited.contains(QStringLiteral("BtnCancel")), qPrintable(visited.join(' ')));
  }
};

}  // namespace tavrin::recorder_ui

QTEST_MAIN(tavrin::recorder_ui::FormTimerTest)
#include "form_timer_test.moc"
