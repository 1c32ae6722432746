#pragma once
// Helpers for the drawing tests: pixel colours as plain RGB triples.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QtGlobal>
#include <tuple>

namespace tavrin::recorder_ui::testing {

using Rgb = std::tuple<int, int, int>;

inline Rgb PixelAt(const QImage& image, int x, int y) {
  const QColor color = image.pixelColor(x, y);
  return {color.red(), color.green(), color.blue()};
}

// Scheme 1 (120, 140, 180) less 50: the meter background.
inline constexpr Rgb kScheme1Background{70, 90, 130};
// Scheme 1's grid colour 0xC0C0C0.
inline constexpr Rgb kScheme1Grid{192, 192, 192};

// Counts the Qt warnings given while it lives (a painter ended with a state
// still saved says so on every draw).
class QtWarnings {
public:
  QtWarnings() : m_previous(qInstallMessageHandler(&Note)) { s_count = 0; }
  ~QtWarnings() { qInstallMessageHandler(m_previous); }
  QtWarnings(const QtWarnings&) = delete;
  QtWarnings& operator=(const QtWarnings&) = delete;
  int Count() const { return s_count; }

private:
  static void Note(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtWarningMsg) ++s_count;
  }
  static inline int s_count = 0;
  QtMessageHandler m_previous;
};

}  // namespace tavrin::recorder_ui::testing
