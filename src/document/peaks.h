#pragma once
// The peaks of a buffer: the extremes of each channel that the waveform is
// drawn from, kept per buffer beside the take and the editor's work file.
// Plain C++, any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::document {

struct BufferPeaks {
  std::int16_t MaxLeft = 0;
  std::int16_t MinLeft = 0;
  std::int16_t MaxRight = 0;
  std::int16_t MinRight = 0;

  // Widens these peaks to take in `other`'s.
  void Include(const BufferPeaks& other);
};

// Peaks per buffer, indexed by buffer number (entry 0 is never written).
using PeakTable = std::vector<BufferPeaks>;

// Where every measure starts: the maxima at -32767 (left) and -32768 (right),
// the minima at 32767. A left channel pinned at -32768 therefore reports a
// maximum of -32767, the right one -32768.
inline constexpr BufferPeaks kStartPeaks{-32767, 32767, -32768, 32767};

// The peaks of `frames` frames of interleaved 16-bit stereo (left first,
// native byte order), from kStartPeaks.
BufferPeaks MeasurePeaks(const std::uint8_t* bytes, std::size_t frames);

}  // namespace tavrin::document
