#include "capture/recorder_state.h"

namespace tavrin::capture {

void RecorderState::AllocateCaptureMemory() {
  CaptureMemory.assign(kCaptureMemoryBytes, 0);
  TransferMemory.assign(kCaptureMemoryBytes, 0);
  EffectBuffer.assign(kBufferBytes, 0);
  // Twice the frames of a buffer, as the editor's effects expect room to spare.
  LeftSamples.assign(2 * kFramesPerBuffer, 0);
  RightSamples.assign(2 * kFramesPerBuffer, 0);
  PeakMaxLeft.assign(kPeakTableEntries, 0);
  PeakMinLeft.assign(kPeakTableEntries, 0);
  PeakMaxRight.assign(kPeakTableEntries, 0);
  PeakMinRight.assign(kPeakTableEntries, 0);
}

}  // namespace tavrin::capture
