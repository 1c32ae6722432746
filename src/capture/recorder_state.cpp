#include "capture/recorder_state.h"

#include <cstdio>

namespace tavrin::capture {

void RecorderState::AllocateCaptureMemory() {
  CaptureMemory.assign(kCaptureMemoryBytes, 0);
  TransferMemory.assign(kCaptureMemoryBytes, 0);
  // One buffer's frames, split by channel.
  LeftSamples.assign(kFramesPerBuffer, 0);
  RightSamples.assign(kFramesPerBuffer, 0);
  Take.SizePeaks();
}

std::string PositionText(std::uint32_t buffers) {
  const std::uint32_t hours = buffers / 36000;
  const std::uint32_t minutes = (buffers % 36000) / 600;
  const std::uint32_t seconds = (buffers % 600) / 10;
  const std::uint32_t tenths = buffers % 10;
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u.%u", hours % 100, minutes, seconds, tenths);
  return text;
}

}  // namespace tavrin::capture
