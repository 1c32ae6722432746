#pragma once
// The raw take: halves of the ring written one after the other (continuous)
// or round a ring of `LoopHalves` halves (loop modes), and the chronological
// order in which a finished take is read back.

#include <span>
#include <vector>

#include "capture/capture.h"

namespace tavrin::capture {

// Sets the loop fields from the recording-mode list's index; an index outside
// the list counts as continuous.
void ApplyLoopMode(RecorderState& state, int modeIndex);

// Writes ring half 0 (buffers 0..19) or 1 (20..39) to the raw take while
// recording, then hands it back to the device. Returns the device's result:
// on a failure the half is not all queued and the caller must give the device up.
platform::MmResult WriteHalfRing(RecorderState& state, CaptureContext& context, int half);

// The take part of WriteHalfRing, without handing the half back (used at close).
void WriteHalfToTake(RecorderState& state, CaptureContext& context, int half);

// Writes one ring buffer at its own position (the end of the file in continuous
// mode, the buffer's place in the ring in loop mode). Used at close.
void WriteBufferToTake(RecorderState& state, CaptureContext& context, int ringIndex);

// A new empty take file (the old one deleted), its order noted and its peaks
// file begun. Returns 0 or the errno of the failure.
int NewTakeFile(RecorderState& state);

// A take filled from outside the ring, buffer by buffer (sound-activated
// recording): begun without touching the device (0 or an errno), whole
// buffers appended in order (round the ring in a loop mode), ended with its
// length and order set. A failed write ends the take with what reached the
// disk and tells the user; AppendToTake then returns false.
int BeginAppendedTake(RecorderState& state);
bool AppendToTake(RecorderState& state, CaptureContext& context,
                  std::span<const std::uint8_t> buffer);
void EndAppendedTake(RecorderState& state);

// Ends the take: `RecordedBuffers` and `TakeLength` from the file.
void FinishTake(RecorderState& state, std::uint32_t recordedBuffers);

using document::TakeRun;
using document::TakeRuns;

// The take just recorded in chronological order, oldest first: one run, or
// two when a loop take has wrapped.
std::vector<TakeRun> TakeRuns(const RecorderState& state);

}  // namespace tavrin::capture
