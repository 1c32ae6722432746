#pragma once
// Icons of the minimized window: 0..16 show the input level in sixteenths of
// full scale, 17 is the normal application icon.

#include <QIcon>
#include <array>
#include <cstdint>

class QPainter;

namespace tavrin::recorder_ui {

inline constexpr int kLevelIconCount = 18;
inline constexpr int kApplicationIcon = 17;

// Each icon holds a 16 x 16 and a 32 x 32 picture. Needs a QGuiApplication.
std::array<QIcon, kLevelIconCount> MakeLevelIcons();
QImage MakeLevelIconImage(int level, int size);
QImage MakeApplicationIconImage(int size);
// The application icon on any paint device of size x size units (also SVG).
void PaintApplicationIcon(QPainter& painter, int size);

// |larger of the two| / 2048 rounded halves to even; a left channel above 600
// shows at least 1; at most 16.
int LevelIconFor(std::int16_t maxLeft, std::int16_t maxRight);

}  // namespace tavrin::recorder_ui
