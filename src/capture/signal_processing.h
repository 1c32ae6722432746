#pragma once
// Per-buffer signal processing: split into channels with DC subtraction and
// clip detection, extremes and peak-table entries, channel means, and the DC
// offset estimate and meter from the history of buffer means.

#include "capture/recorder_state.h"
#include "document/peaks.h"

namespace tavrin::capture {

inline constexpr std::int32_t kClipHoldBuffers = 30;

// Splits ring buffer `CurrentBuffer` into LeftSamples/RightSamples and rewrites
// it in place with the DC offsets subtracted (16-bit wrap). Clip detection looks
// at the raw samples.
void SplitBuffer(RecorderState& state);
// Extremes of the split buffer, stored in the peak tables at the buffer's number
// while a take records.
void StoreBufferPeaks(RecorderState& state);
// The level meters' values (MaxLeft ... MinRight) from one buffer's peaks.
void SetLevels(RecorderState& state, const document::BufferPeaks& peaks);
void ComputeChannelMeans(RecorderState& state);

// Stores the rounded means of the buffer last processed in the next history slot.
void RecordDcHistory(RecorderState& state);
// Sets the offsets from the non-empty history slots, then empties the history.
void EstimateDcOffset(RecorderState& state);
// Mean of the non-empty history slots of each channel, for the DC meter.
void ComputeDcMeter(RecorderState& state);

}  // namespace tavrin::capture
