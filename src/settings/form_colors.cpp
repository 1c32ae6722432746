#include "settings/form_colors.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <algorithm>

#include "settings/dialog_owner.h"

namespace tavrin::settings {

namespace {

constexpr int kClientWidth = 163;
constexpr int kClientHeight = 148;
constexpr int kShapeX = 6;
constexpr int kShapeWidth = 150;
constexpr int kShapeHeight = 24;
constexpr std::array<int, kSchemeCount> kShapeY{10, 36, 62, 88, 114};
constexpr int kLabelX = 60;
constexpr int kLabelPixelSize = 14;
constexpr int kOutlineDelta = -30;  // per channel, wrapping in 8 bits
const QColor kLabelColor = Qt::black;
const QColor kLitLabelColor(150, 255, 150);

QColor ToQColor(ColorRef color) {
  return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

// A rounded rectangle filled with one scheme's base colour: a button that
// takes the keyboard focus, Space or Enter choosing it.
class ColorShape : public QAbstractButton {
public:
  ColorShape(const ColorScheme& scheme, QWidget* parent) : QAbstractButton(parent) {
    const ColorRef base = Rgb(scheme.Red, scheme.Green, scheme.Blue);
    m_fill = ToQColor(base);
    m_outline = ToQColor(Shift(base, kOutlineDelta));
    setFocusPolicy(Qt::StrongFocus);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(m_outline, 1));
    painter.setBrush(m_fill);
    const qreal radius = qMin(width(), height()) / 4.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  }

  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      click();
    } else {
      QAbstractButton::keyPressEvent(event);
    }
  }

private:
  QColor m_fill;
  QColor m_outline;
};

}  // namespace

TFormColors::TFormColors(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("可用颜色"));
  setFixedSize(kClientWidth, kClientHeight);
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::white);
  setPalette(background);
  setAutoFillBackground(true);

  QFont labelFont = font();
  labelFont.setPixelSize(kLabelPixelSize);
  for (int i = 0; i < kSchemeCount; ++i) {
    const int scheme = i + 1;
    auto* shape = new ColorShape(ColorSchemes()[scheme], this);
    shape->setObjectName(QStringLiteral("Shape%1").arg(scheme));
    shape->setGeometry(kShapeX, kShapeY[i], kShapeWidth, kShapeHeight);
    auto* label = new QLabel(tr("颜色%1").arg(scheme), this);
    label->setObjectName(QStringLiteral("Lab%1").arg(scheme));
    label->setFont(labelFont);
    label->adjustSize();
    label->move(kLabelX, kShapeY[i] + (kShapeHeight - label->height()) / 2);
    for (QWidget* widget : {static_cast<QWidget*>(shape), static_cast<QWidget*>(label)}) {
      widget->setMouseTracking(true);
      widget->installEventFilter(this);
    }
    shape->setAccessibleName(label->text());
    connect(shape, &QAbstractButton::clicked, this, [this, scheme] { ShapeMouseDown(scheme); });
    m_shapes[i] = shape;
    m_labels[i] = label;
  }
  LightLabel(0);
}

int TFormColors::Choose(int current) {
  m_chosen = current;
  LightLabel(current);
  for (int i = 0; i < kSchemeCount; ++i) {
    m_shapes[i]->setAccessibleDescription(i + 1 == current ? tr("当前颜色") : QString());
  }
  // The keyboard starts on the current scheme, so Enter keeps it.
  m_shapes[std::clamp(current, 1, kSchemeCount) - 1]->setFocus();
  CentreOnScreen(*this);
  return exec() == QDialog::Accepted ? m_chosen : current;
}

bool TFormColors::eventFilter(QObject* watched, QEvent* event) {
  const int scheme = SchemeOf(watched);
  if (scheme != 0) {
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
    case QEvent::FocusIn:  // the keyboard's place lights its scheme as the mouse's does
      ShapeMouseMove(scheme);
      break;
    case QEvent::KeyPress: {
      // The arrows step through the schemes, round from the last to the first.
      const int key = static_cast<QKeyEvent*>(event)->key();
      const int step = key == Qt::Key_Down || key == Qt::Key_Right ? 1
                       : key == Qt::Key_Up || key == Qt::Key_Left  ? -1
                                                                   : 0;
      if (step == 0) break;
      m_shapes[(scheme - 1 + step + kSchemeCount) % kSchemeCount]->setFocus(Qt::TabFocusReason);
      return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: ShapeMouseDown(scheme); return true;
    default: break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFormColors::ShapeMouseMove(int scheme) {
  LightLabel(scheme);
}

void TFormColors::ShapeMouseDown(int scheme) {
  m_chosen = scheme;
  accept();
}

void TFormColors::LightLabel(int scheme) {
  for (int i = 0; i < kSchemeCount; ++i) {
    QPalette colors = m_labels[i]->palette();
    colors.setColor(QPalette::WindowText, i + 1 == scheme ? kLitLabelColor : kLabelColor);
    m_labels[i]->setPalette(colors);
  }
}

int TFormColors::SchemeOf(const QObject* object) const {
  for (int i = 0; i < kSchemeCount; ++i) {
    if (object == m_shapes[i] || object == m_labels[i]) return i + 1;
  }
  return 0;
}

}  // namespace tavrin::settings
