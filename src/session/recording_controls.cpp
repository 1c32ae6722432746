#include "session/recording_controls.h"

#include <array>

#include "base/error_text.h"
#include "capture/work_files.h"

namespace tavrin::session {

std::uint32_t BuffersRecorded(const capture::RecorderState& state) {
  if (state.LoopWrapped)
    return static_cast<std::uint32_t>(state.LoopHalves * capture::kBuffersPerHalf);
  return state.AppendingTake ? state.AppendedBuffers : state.Take.LastBufferIndex;
}

void FormatTimeRecorded(capture::RecorderState& state) {
  state.TimeText = capture::PositionText(BuffersRecorded(state)).substr(0, 8);  // hh:mm:ss
}

void FormatFreeTime(capture::RecorderState& state, std::int64_t freeBytes) {
  state.FreeSeconds = freeBytes < 0 ? INT64_MAX : freeBytes / capture::kBytesPerSecond;
}

TakeLimit EnforceTakeLimits(capture::RecorderState& state, capture::CaptureContext& context) {
  if (!state.Recording) return TakeLimit::None;
  if (state.FreeSeconds < kMinimumFreeSeconds) {
    capture::CloseCapture(state, context);
    context.User.Show(base::NoSpaceText(state.ProgramDrive));
    return TakeLimit::DiskFull;
  }
  if (state.BufferSequence >= kLengthLimitBuffers) {
    capture::CloseCapture(state, context);
    context.User.Show("Recording was stopped");
    return TakeLimit::LengthReached;
  }
  return TakeLimit::None;
}

int NextTimeScale(int minutes) {
  constexpr std::array<int, 10> kSteps{3, 5, 10, 15, 20, 30, 60, 120, 240, 600};
  for (int step : kSteps) {
    if (step > minutes) return step;
  }
  return 600;
}

bool StepTimeScale(capture::RecorderState& state) {
  if (state.LoopMode || !state.Recording) return false;
  if (state.RecordedBuffers / 600.0 < state.TimeScaleMinutes * 0.9) return false;
  const int next = NextTimeScale(state.TimeScaleMinutes);
  if (next == state.TimeScaleMinutes) return false;
  state.TimeScaleMinutes = next;
  return true;
}

}  // namespace tavrin::session
