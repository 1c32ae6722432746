#pragma once
// The steps of the recorder window's two timers that are not drawing: the
// time texts, the free-space and length limits of a take, the growing time
// scale of a continuous take. No widgets here.

#include <cstdint>

#include "capture/capture.h"
#include "capture/recorder_state.h"

namespace tavrin::session {

inline constexpr std::int64_t kMinimumFreeSeconds = 100;
inline constexpr std::uint32_t kLengthLimitBuffers = capture::kTenHoursBuffers;

// The buffers the take in hand holds: the whole loop once it has wrapped, else
// what was recorded or, for a sound-activated take, appended.
std::uint32_t BuffersRecorded(const capture::RecorderState& state);
// TimeText from BuffersRecorded.
void FormatTimeRecorded(capture::RecorderState& state);
// Seconds of audio that fit in `freeBytes` (a negative count means unknown: no limit).
void FormatFreeTime(capture::RecorderState& state, std::int64_t freeBytes);

enum class TakeLimit { None, DiskFull, LengthReached };

// Ends the take when the disk is nearly full or the take reached 10 hours,
// with the matching message. Only while recording.
TakeLimit EnforceTakeLimits(capture::RecorderState& state, capture::CaptureContext& context);

// Scale steps of the time bar: 3, 5, 10, 15, 20, 30, 60, 120, 240, 600 minutes.
int NextTimeScale(int minutes);
// Raises TimeScaleMinutes while a continuous take passes 90 % of it.
bool StepTimeScale(capture::RecorderState& state);

}  // namespace tavrin::session
