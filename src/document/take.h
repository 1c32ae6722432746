#pragma once
// The take: the raw file of 16-bit stereo buffers of 0.1 s that a recording
// makes (or a kept "test" or an opened file put in its place), its length,
// how much of its last buffer is sound, its own order and the peaks of every
// buffer. The capture writes it; the editor, playback, the writers and
// recovery read it. User-interface thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "base/file.h"
#include "document/marks.h"
#include "document/peaks.h"
#include "platform/wave_common.h"

namespace tavrin::document {

inline constexpr std::int32_t kSampleRate = platform::kFormatRate;
inline constexpr std::uint16_t kFramesPerBuffer = kSampleRate / 10;  // a buffer is 0.1 s
inline constexpr std::int32_t kBufferBytes = kFramesPerBuffer * platform::kFormatBlockAlign;
inline constexpr std::int32_t kBytesPerSecond = platform::kFormatBytesPerSecond;
// Ten hours of buffers: the longest take, and the longest document the editor makes.
inline constexpr std::uint32_t kTenHoursBuffers = 360000;
// Peak tables are indexed by buffer number; entry 0 is never written.
inline constexpr std::uint32_t kPeakTableEntries = kTenHoursBuffers;

// Byte offset of buffer `buffer` (1-based) of a take or work file.
inline std::int64_t BufferByteOffset(std::uint32_t buffer) {
  return static_cast<std::int64_t>(buffer - 1) * kBufferBytes;
}

struct Take {
  base::File RawStream;
  std::string RawPath;
  std::uint32_t TakeLength = 0;  // whole buffers
  // Frames of buffer TakeLength that are sound; silence pads the rest. Fewer
  // than kFramesPerBuffer only for an opened file of part-buffer length:
  // recorded takes and "test" are whole.
  std::uint16_t LastBufferFrames = kFramesPerBuffer;
  std::uint32_t LastBufferIndex = 0;  // the last buffer written
  // The finished take's own order, kept for its save whatever the editor does
  // with the capture's RecordedBuffers and LoopWrapped later.
  std::uint32_t FinishedRecordedBuffers = 0;
  bool FinishedLoopWrapped = false;
  PeakTable Peaks;  // kPeakTableEntries entries once the recorder starts
  MarkTable Marks;  // on take buffers

  // An empty peak table of kPeakTableEntries entries.
  void SizePeaks() { Peaks.assign(kPeakTableEntries, BufferPeaks{}); }
  // Ends a take that was read from a file in its own order (a kept "test",
  // an opened sound file): `length` buffers, one run, never wrapped.
  void FinishInFileOrder(std::uint32_t length, std::uint16_t lastBufferFrames = kFramesPerBuffer) {
    TakeLength = LastBufferIndex = FinishedRecordedBuffers = length;
    LastBufferFrames = lastBufferFrames;
    FinishedLoopWrapped = false;
  }
  // Frames of take buffer `buffer` (1-based) that are sound, the rest padding.
  std::uint32_t SoundFrames(std::uint32_t buffer) const {
    return buffer == TakeLength ? LastBufferFrames : kFramesPerBuffer;
  }
};

// A run of consecutive buffers of the take file, 1-based.
struct TakeRun {
  std::uint32_t FirstBuffer = 1;
  std::uint32_t Buffers = 0;
  std::int64_t ByteOffset() const { return BufferByteOffset(FirstBuffer); }
};

// A take of `length` buffers in chronological order, oldest first: one run,
// or two when a loop take has wrapped after writing buffer `recorded`.
std::vector<TakeRun> TakeRuns(std::uint32_t length, std::uint32_t recorded, bool loopWrapped);

}  // namespace tavrin::document
