#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "settings/artwork.h"
#include "settings/form_colors.h"

namespace tavrin::settings {

class FormColorsTest : public QObject {
  Q_OBJECT

private:
  QWidget* Shape(TFormColors& dialog, int i) {
    return dialog.findChild<QWidget*>(QStringLiteral("Shape%1").arg(i));
  }
  QLabel* Label(TFormColors& dialog, int i) {
    return dialog.findChild<QLabel*>(QStringLiteral("Lab%1").arg(i));
  }
  // The numbers of the labels drawn in the lit colour.
  QList<int> LitLabels(TFormColors& dialog) {
    QList<int> lit;
    for (int i = 1; i <= 5; ++i) {
      const QColor color = Label(dialog, i)->palette().color(QPalette::WindowText);
      if (color == QColor(150, 255, 150)) {
        lit << i;
      } else if (color != QColor(Qt::black)) {
        qWarning() << "Lab" << i << "has an unexpected colour" << color;
        lit << -i;
      }
    }
    return lit;
  }
  // Runs `whileOpen` once the modal dialog is on screen.
  int ChooseWhile(TFormColors& dialog, int current, std::function<void()> whileOpen) {
    QTimer::singleShot(0, &dialog, [&dialog, whileOpen] {
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      whileOpen();
      if (dialog.isVisible()) dialog.reject();  // a failed check must not hang the test
    });
    return dialog.Choose(current);
  }

private slots:
  void currentSchemeIsLitWhenShown() {
    TFormColors dialog;
    QList<int> lit;
    QCOMPARE(ChooseWhile(dialog, 2, [&] { lit = LitLabels(dialog); }), 2);
    QCOMPARE(lit, QList<int>{2});
    QCOMPARE(ChooseWhile(dialog, 5, [&] { lit = LitLabels(dialog); }), 5);
    QCOMPARE(lit, QList<int>{5});
  }

  void hoveringLightsThatSchemeOnly() {
    TFormColors dialog;
    QList<int> overShape3, overLabel5;
    ChooseWhile(dialog, 1, [&] {
      QTest::mouseMove(Shape(dialog, 3), QPoint(10, 12));
      overShape3 = LitLabels(dialog);
      QTest::mouseMove(Label(dialog, 5), QPoint(3, 3));
      overLabel5 = LitLabels(dialog);
    });
    QCOMPARE(overShape3, QList<int>{3});
    QCOMPARE(overLabel5, QList<int>{5});
  }

  void anyButtonOnASwatchOrItsLabelChoosesIt() {
    TFormColors dialog;
    const auto leftOnShape4 = [&] {
      QTest::mousePress(Shape(dialog, 4), Qt::LeftButton, {}, {5, 5});
    };
    QCOMPARE(ChooseWhile(dialog, 1, leftOnShape4), 4);
    const auto rightOnLabel2 = [&] {
      QTest::mousePress(Label(dialog, 2), Qt::RightButton, {}, {2, 2});
    };
    QCOMPARE(ChooseWhile(dialog, 4, rightOnLabel2), 2);
    // The keyboard starts on the current scheme; Up from the first wraps to the last.
    const auto upThenEnter = [&] {
      QTest::keySequence(dialog.windowHandle(), QKeySequence(Qt::Key_Up, Qt::Key_Return));
    };
    QCOMPARE(ChooseWhile(dialog, 1, upThenEnter), 5);
  }

  void closingAnyOtherWayKeepsTheCurrentScheme() {
    TFormColors dialog;
    const auto hoverThenClose = [&] {
      QTest::mouseMove(Shape(dialog, 5), QPoint(140, 12));
      dialog.close();
    };
    QCOMPARE(ChooseWhile(dialog, 3, hoverThenClose), 3);
    const auto hoverThenEscape = [&] {
      QTest::mouseMove(Shape(dialog, 1), QPoint(140, 12));
      QTest::keyClick(&dialog, Qt::Key_Escape);
    };
    QCOMPARE(ChooseWhile(dialog, 2, hoverThenEscape), 2);
  }

  void layoutAndSwatchColours() {
    TFormColors dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("可用颜色"));
    QCOMPARE(dialog.size(), QSize(163, 148));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    const int ys[] = {10, 36, 62, 88, 114};
    for (int i = 1; i <= 5; ++i) {
      QCOMPARE(Shape(dialog, i)->geometry(), QRect(6, ys[i - 1], 150, 24));
      QLabel* label = Label(dialog, i);
      QCOMPARE(label->text(), QStringLiteral("颜色%1").arg(i));
      QCOMPARE(label->x(), 60);
      QCOMPARE(label->font().pixelSize(), 14);
      QVERIFY(Shape(dialog, i)->geometry().contains(label->geometry()));
    }
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Scheme 1 is RGB(120, 140, 180); its outline 30 darker per channel.
    const QImage swatch = Shape(dialog, 1)->grab().toImage();
    QCOMPARE(swatch.pixelColor(20, 12), QColor(120, 140, 180));
    QCOMPARE(swatch.pixelColor(0, 12), QColor(90, 110, 150));
    QCOMPARE(swatch.pixelColor(75, 0), QColor(90, 110, 150));
  }

  void knobsHaveTheirSizeAndTheirSchemesTint() {
    const QColor bases[] = {
        {120, 140, 180}, {110, 160, 130}, {180, 125, 165}, {170, 160, 100}, {170, 170, 180}};
    const auto distance = [](const QColor& a, const QColor& b) {
      const int r = a.red() - b.red(), g = a.green() - b.green(), bl = a.blue() - b.blue();
      return r * r + g * g + bl * bl;
    };
    for (int scheme = 1; scheme <= 5; ++scheme) {
      const QImage knob = KnobPicture(scheme);
      QCOMPARE(knob.size(), scheme == 3 ? QSize(11, 21) : QSize(11, 20));
      QVERIFY(!knob.hasAlphaChannel());
      const QColor middle = knob.pixelColor(5, 8);
      int nearest = 0;
      for (int other = 1; other <= 5; ++other) {
        if (distance(middle, bases[other - 1]) < distance(middle, bases[nearest])) {
          nearest = other - 1;
        }
      }
      QCOMPARE(nearest + 1, scheme);
      // The groove is darker than the body above it.
      QVERIFY(knob.pixelColor(5, knob.height() - 6).lightness() < middle.lightness());
    }
    QCOMPARE(KnobPicture(0), KnobPicture(1));
    QCOMPARE(KnobPicture(6), KnobPicture(1));
  }

  void glyphsAreSixteenSquareOnATransparentGround() {
    for (const QImage& glyph : {SourceGlyphXp(), SourceGlyphVista()}) {
      QCOMPARE(glyph.size(), QSize(16, 16));
      QCOMPARE(glyph.pixelColor(0, 0).alpha(), 0);
      int opaque = 0;
      for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) opaque += glyph.pixelColor(x, y).alpha() == 255;
      }
      QVERIFY2(opaque > 20, "the symbol is drawn");
    }
    QVERIFY(SourceGlyphXp() != SourceGlyphVista());
  }
};

}  // namespace tavrin::settings

QTEST_MAIN(tavrin::settings::FormColorsTest)
#include "form_colors_test.moc"
