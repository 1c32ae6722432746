#include "capture/signal_processing.h"
#include "base/samples.h"

#include <cstring>

#include "document/peaks.h"

namespace tavrin::capture {

namespace {

std::uint8_t* CurrentBufferBytes(RecorderState& state) {
  return state.CaptureMemory.data() + static_cast<std::size_t>(state.CurrentBuffer) * kBufferBytes;
}

double MeanOfNonZero(const std::array<std::int32_t, kDcHistorySlots + 1>& history, int& count) {
  std::int64_t sum = 0;
  count = 0;
  for (int slot = 1; slot <= kDcHistorySlots; ++slot) {
    if (history[slot] != 0) {
      sum += history[slot];
      ++count;
    }
  }
  return count > 0 ? static_cast<double>(sum) / count : 0.0;
}

}  // namespace

void SplitBuffer(RecorderState& state) {
  if (state.ClipHoldLeft > 0) --state.ClipHoldLeft;
  if (state.ClipHoldRight > 0) --state.ClipHoldRight;

  std::uint8_t* bytes = CurrentBufferBytes(state);
  // Clipping is judged on the samples as they came, before any correction.
  const document::BufferPeaks raw = document::MeasurePeaks(bytes, kFramesPerBuffer);
  std::int16_t frames[2 * kFramesPerBuffer];
  std::memcpy(frames, bytes, kBufferBytes);

  const std::int16_t dcLeft = base::Low16(state.DcOffsetLeft);
  const std::int16_t dcRight = base::Low16(state.DcOffsetRight);
  std::int16_t* left = state.LeftSamples.data();
  std::int16_t* right = state.RightSamples.data();
  for (int j = 0; j < kFramesPerBuffer; ++j) {
    const std::int16_t rawLeft = frames[2 * j];
    const std::int16_t rawRight = frames[2 * j + 1];
    const auto correctedLeft = static_cast<std::int16_t>(static_cast<std::uint16_t>(rawLeft) -
                                                         static_cast<std::uint16_t>(dcLeft));
    const auto correctedRight = static_cast<std::int16_t>(static_cast<std::uint16_t>(rawRight) -
                                                          static_cast<std::uint16_t>(dcRight));
    left[j] = correctedLeft;
    right[j] = correctedRight;
    frames[2 * j] = correctedLeft;
    frames[2 * j + 1] = correctedRight;
  }
  std::memcpy(bytes, frames, kBufferBytes);

  if (raw.MaxLeft >= 32767 || raw.MinLeft <= -32768) state.ClipHoldLeft = kClipHoldBuffers;
  if (raw.MaxRight >= 32767 || raw.MinRight <= -32768) state.ClipHoldRight = kClipHoldBuffers;
}

void SetLevels(RecorderState& state, const document::BufferPeaks& peaks) {
  state.MaxLeft = peaks.MaxLeft;
  state.MinLeft = peaks.MinLeft;
  state.MaxRight = peaks.MaxRight;
  state.MinRight = peaks.MinRight;
}

void StoreBufferPeaks(RecorderState& state) {
  const document::BufferPeaks peaks =
      document::MeasurePeaks(CurrentBufferBytes(state), kFramesPerBuffer);
  SetLevels(state, peaks);
  // The tables are the take's, which the editor draws: monitoring numbers its
  // buffers from 1 again and must not write over them.
  if (!state.Recording) return;
  const std::uintptr_t number = state.WaveHeaders[state.CurrentBuffer].User;
  if (number == 0 || number >= kPeakTableEntries) return;
  state.Take.Peaks[number] = peaks;
}

void ComputeChannelMeans(RecorderState& state) {
  double sumLeft = 0.0;
  double sumRight = 0.0;
  for (int j = 0; j < kFramesPerBuffer; ++j) {
    sumLeft += state.LeftSamples[j];
    sumRight += state.RightSamples[j];
  }
  state.MeanLeft = sumLeft / kFramesPerBuffer;
  state.MeanRight = sumRight / kFramesPerBuffer;
}

void RecordDcHistory(RecorderState& state) {
  state.DcHistorySlot = state.DcHistorySlot >= kDcHistorySlots ? 1 : state.DcHistorySlot + 1;
  state.DcHistoryLeft[state.DcHistorySlot] = base::RoundHalfEven(state.MeanLeft);
  state.DcHistoryRight[state.DcHistorySlot] = base::RoundHalfEven(state.MeanRight);
}

void EstimateDcOffset(RecorderState& state) {
  int count = 0;
  double mean = MeanOfNonZero(state.DcHistoryLeft, count);
  if (count > 0) state.DcOffsetLeft = base::RoundHalfEven(mean);
  mean = MeanOfNonZero(state.DcHistoryRight, count);
  if (count > 0) state.DcOffsetRight = base::RoundHalfEven(mean);
  state.DcHistoryLeft.fill(0);
  state.DcHistoryRight.fill(0);
}

void ComputeDcMeter(RecorderState& state) {
  int count = 0;
  double mean = MeanOfNonZero(state.DcHistoryLeft, count);
  if (count > 0) state.DcMeterLeft = mean;
  mean = MeanOfNonZero(state.DcHistoryRight, count);
  if (count > 0) state.DcMeterRight = mean;
}

}  // namespace tavrin::capture
