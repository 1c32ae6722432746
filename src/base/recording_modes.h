#pragma once
// The recording modes of the recorder's list, continuous first: the one list
// that the settings file's index, the capture engine's loop length and the
// recorder window's items (translated there) are all read from.

#include <array>
#include <cstdint>
#include <string_view>

#include "base/translatable.h"

namespace tavrin::base {

inline constexpr int kRecordingModeCount = 8;

struct RecordingMode {
  std::string_view ItemText;
  std::int32_t LoopMinutes;  // 0 for continuous
};

inline constexpr std::array<RecordingMode, kRecordingModeCount> kRecordingModes{{
    {TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "连续"), 0},
    {TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "Loop 3 min"), 3},
    {TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "Loop 5 min"), 5},
    {TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "Loop10 min"), 10},
    {TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "Loop15 min"), 15},
    {TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "Loop 20 min"), 20},
    {TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "Loop 30 min"), 30},
    {TAVRIN_TRANSLATABLE("tavrin::recorder_ui::TFormMain", "Loop 60 min"), 60},
}};

// `index` when it names an item of the list; an index outside it counts as
// continuous (0).
inline int RecordingModeIndexOrContinuous(int index) {
  return index >= 0 && index < kRecordingModeCount ? index : 0;
}

}  // namespace tavrin::base
