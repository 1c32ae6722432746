#include "capture/raw_take.h"

#include <cerrno>
#include <cmath>
#include <filesystem>

#include "base/error_text.h"
#include "base/recording_modes.h"
#include "capture/peak_file.h"
#include "capture/run_marker.h"
#include "capture/signal_processing.h"
#include "capture/work_files.h"

namespace tavrin::capture {

namespace {

// A write to the take failed: the take ends with what reached the disk, in
// whole buffers, and the user is told why.
void AbortTake(RecorderState& state, CaptureContext& context, int error) {
  state.Recording = false;
  state.AppendingTake = false;
  const std::int64_t wholeBuffers = state.Take.RawStream.Size() / kBufferBytes;
  state.Take.RawStream.Truncate(wholeBuffers * kBufferBytes);
  const std::int64_t position =
      std::min(state.Take.RawStream.Position(), wholeBuffers * kBufferBytes);
  FinishTake(state, static_cast<std::uint32_t>(position / kBufferBytes));
  context.User.Show(base::FileErrorText(state.ProgramDrive, error));
  if (context.Observer) context.Observer->TakeEnded();
}

void MovePeaks(RecorderState& state, std::uint32_t from, std::uint32_t to) {
  if (from == 0 || from >= kPeakTableEntries || to == 0 || to >= kPeakTableEntries) return;
  state.Take.Peaks[to] = state.Take.Peaks[from];
}

// Split and measure each buffer of the half that no poll has processed yet.
void ProcessUnprocessed(RecorderState& state, int firstRing, int count) {
  for (int i = firstRing; i < firstRing + count; ++i) {
    if (state.WaveHeaders[i].User == 0) continue;
    state.CurrentBuffer = i;
    SplitBuffer(state);
    StoreBufferPeaks(state);
    state.WaveHeaders[i].User = 0;
  }
}

// After `buffers` buffers reached the take ending at its stream position: their
// peaks go beside it and the marker learns the take's order. The peaks on disk
// are a copy the audio can always give again, so a failure there only drops
// the copy (a stale one could pass for the take's); a marker that cannot be
// written ends the take like a failed write, since a wrapped loop take could
// not be put back in order after a crash.
void NoteWritten(RecorderState& state, CaptureContext& context, std::uint32_t buffers) {
  const auto end = static_cast<std::uint32_t>(state.Take.RawStream.Position() / kBufferBytes);
  if (state.TakePeaksStream.IsOpen() && end >= buffers &&
      WritePeakRange(state.TakePeaksStream, state.Take.Peaks, end - buffers + 1, buffers) != 0) {
    state.TakePeaksStream.Close();
    std::error_code ignored;
    std::filesystem::remove(state.TakePeaksPath, ignored);
  }
  if (const int error = NoteTakeOrder(state); error != 0) AbortTake(state, context, error);
}

}  // namespace

void ApplyLoopMode(RecorderState& state, int modeIndex) {
  const base::RecordingMode& mode =
      base::kRecordingModes[base::RecordingModeIndexOrContinuous(modeIndex)];
  state.LoopMode = mode.LoopMinutes > 0;
  if (state.LoopMode) state.LoopMinutes = mode.LoopMinutes;
  state.LoopHalves = static_cast<std::int32_t>(std::lround(state.LoopMinutes * 60 / 2.0));
  state.TimeScaleMinutes = state.LoopMode ? state.LoopMinutes : 3;
}

void WriteHalfToTake(RecorderState& state, CaptureContext& context, int half) {
  if (!state.Recording || state.Take.RawPath.empty()) return;
  const int first = half * kBuffersPerHalf;
  const int other = (1 - half) * kBuffersPerHalf;
  ++state.HalvesWritten;
  ProcessUnprocessed(state, first, kBuffersPerHalf);
  if (state.LoopMode) {
    if (state.HalvesWritten == state.LoopHalves) {
      // This half fills the ring: the half being filled now lands at its start.
      state.BufferSequence = 0;
      state.Take.LastBufferIndex = 0;
      state.LoopWrapped = true;
      for (int i = other; i < other + kBuffersPerHalf; ++i) {
        const std::uint32_t number = ++state.BufferSequence;
        // A buffer a poll already measured keeps its peaks under its new number.
        if (state.WaveHeaders[i].User == 0) {
          MovePeaks(state, state.BufferNumbers[i], number);
        } else {
          state.WaveHeaders[i].User = number;
        }
        state.BufferNumbers[i] = number;
      }
    } else if (state.HalvesWritten == state.LoopHalves + 1) {
      state.HalvesWritten = 1;
      if (const int error = state.Take.RawStream.Seek(0); error != 0) {
        AbortTake(state, context, error);
        return;
      }
    }
  }
  const int error = state.Take.RawStream.Write(
      state.CaptureMemory.data() + static_cast<std::size_t>(half) * kHalfRingBytes, kHalfRingBytes);
  if (error != 0) {
    AbortTake(state, context, error);
    return;
  }
  NoteWritten(state, context, kBuffersPerHalf);
}

platform::MmResult WriteHalfRing(RecorderState& state, CaptureContext& context, int half) {
  WriteHalfToTake(state, context, half);
  const int first = half * kBuffersPerHalf;
  // The whole half is emptied first, so that after a refusal below none of its
  // buffers still looks complete and reaches the take a second time.
  for (int i = first; i < first + kBuffersPerHalf; ++i) {
    platform::WaveHeader& header = state.WaveHeaders[i];
    const std::uint32_t number = ++state.BufferSequence;
    header.BytesRecorded.store(0, std::memory_order_relaxed);
    header.User = number;
    state.BufferNumbers[i] = number;
  }
  for (int i = first; i < first + kBuffersPerHalf; ++i) {
    // A buffer left out would put the audio after it at the wrong place in the take.
    if (const platform::MmResult result = context.Device.AddBuffer(state.WaveHeaders[i]);
        result != platform::kMmNoError) {
      return result;
    }
  }
  return context.Device.Start();
}

void WriteBufferToTake(RecorderState& state, CaptureContext& context, int ringIndex) {
  if (!state.Recording || state.Take.RawPath.empty()) return;
  ProcessUnprocessed(state, ringIndex, 1);
  const std::uint32_t number = state.BufferNumbers[ringIndex];
  // Loop mode: the buffer's number is its place in the ring. Right after the
  // half that fills the ring the stream stands at the end while these buffers
  // are numbered from 1, so seek rather than append.
  int error = 0;
  if (state.LoopMode)
    error = state.Take.RawStream.Seek(static_cast<std::int64_t>(number - 1) * kBufferBytes);
  if (error == 0) {
    error = state.Take.RawStream.Write(
        state.CaptureMemory.data() + static_cast<std::size_t>(ringIndex) * kBufferBytes,
        kBufferBytes);
  }
  if (error != 0) {
    AbortTake(state, context, error);
    return;
  }
  if (state.Take.LastBufferIndex < number) state.Take.LastBufferIndex = number;
  NoteWritten(state, context, 1);
}

int NewTakeFile(RecorderState& state) {
  state.Take.RawStream.Close();
  std::error_code ignored;
  std::filesystem::remove(state.Take.RawPath, ignored);
  state.RecordedBuffers = 0;
  state.LoopWrapped = false;
  state.Take.FinishedRecordedBuffers = 0;
  state.Take.FinishedLoopWrapped = false;
  state.LostFrames = 0;
  int error = state.Take.RawStream.Create(state.Take.RawPath);
  if (error == 0) error = NoteTakeOrder(state);
  if (error != 0) return error;
  // The peaks kept beside the take are a copy the audio can always give
  // again: without them the take still records.
  if (state.TakePeaksPath.empty() || state.TakePeaksStream.Create(state.TakePeaksPath) != 0) {
    state.TakePeaksStream.Close();
  }
  return 0;
}

int BeginAppendedTake(RecorderState& state) {
  if (state.Recording || state.AppendingTake) return EBUSY;
  if (const int error = NewTakeFile(state); error != 0) return error;
  state.AppendingTake = true;
  state.AppendedBuffers = 0;
  return 0;
}

bool AppendToTake(RecorderState& state, CaptureContext& context,
                  std::span<const std::uint8_t> buffer) {
  if (!state.AppendingTake || buffer.size() != static_cast<std::size_t>(kBufferBytes)) return false;
  // Round a loop take's ring: the buffer after the last one of the ring lands at its start.
  const std::uint32_t ringBuffers =
      state.LoopMode ? static_cast<std::uint32_t>(state.LoopHalves * kBuffersPerHalf) : 0;
  std::uint32_t position = state.AppendedBuffers + 1;
  if (ringBuffers > 0 && position > ringBuffers) {
    position = (position - 1) % ringBuffers + 1;
    state.LoopWrapped = true;
  }
  int error = 0;
  if (position == 1 && state.AppendedBuffers > 0) error = state.Take.RawStream.Seek(0);
  if (error == 0) error = state.Take.RawStream.Write(buffer.data(), buffer.size());
  if (error == 0 && position < kPeakTableEntries) {
    state.Take.Peaks[position] = document::MeasurePeaks(buffer.data(), kFramesPerBuffer);
  }
  if (error != 0) {
    // What reached the disk stays, in whole buffers; the user is told why.
    const std::int64_t whole = state.Take.RawStream.Size() / kBufferBytes;
    state.Take.RawStream.Truncate(whole * kBufferBytes);
    EndAppendedTake(state);
    context.User.Show(base::FileErrorText(state.ProgramDrive, error));
    return false;
  }
  ++state.AppendedBuffers;
  state.RecordedBuffers = position;
  NoteWritten(state, context, 1);
  return state.AppendingTake;
}

void EndAppendedTake(RecorderState& state) {
  if (!state.AppendingTake) return;
  state.AppendingTake = false;
  FinishTake(state, state.RecordedBuffers);
}

void FinishTake(RecorderState& state, std::uint32_t recordedBuffers) {
  state.RecordedBuffers = recordedBuffers;
  state.Take.TakeLength = static_cast<std::uint32_t>(state.Take.RawStream.Size() / kBufferBytes);
  state.Take.LastBufferFrames = kFramesPerBuffer;  // a recording writes whole buffers only
  state.Take.FinishedRecordedBuffers = recordedBuffers;
  state.Take.FinishedLoopWrapped = state.LoopWrapped;
}

std::vector<TakeRun> TakeRuns(const RecorderState& state) {
  // Keyed on the take's own wrap rather than the mode list, which may have
  // been changed since the take stopped.
  return TakeRuns(state.Take.TakeLength, state.RecordedBuffers, state.LoopWrapped);
}

}  // namespace tavrin::capture
