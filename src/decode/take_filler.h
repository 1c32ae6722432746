#pragma once
// Fills a take's work file from decoded stereo float: 16-bit samples rounded
// half to even and clipped (counted, never wrapped), the peaks of every
// buffer measured as it completes, the file written a chunk at a time.

#include <cstddef>
#include <cstdint>

#include "base/file.h"
#include "document/chunked_io.h"
#include "document/peaks.h"
#include "document/take.h"

namespace tavrin::decode {

// A float sample (full scale 1.0) as 16 bits; a value beyond them is clipped
// and counted in `clipped` (NaN counts too and becomes 0).
std::int16_t ToSample16(float value, std::uint64_t& clipped);

class TakeFiller {
public:
  // Writes from the start of `file`; peaks[k] gets the peaks of buffer k (1-based).
  TakeFiller(base::File& file, document::PeakTable& peaks, std::uint64_t& clipped);

  // Appends `frames` interleaved stereo frames. False on a write error (see
  // WriteError()) or once the take would reach kTenHoursBuffers (TooLong()).
  bool Add(const float* stereo, std::size_t frames);
  // Pads a last part-buffer with silence and writes what is left.
  bool Finish();

  std::uint32_t Buffers() const { return m_buffers; }
  // Frames added so far, the silence that pads the last buffer not counted.
  std::uint64_t Frames() const { return m_frames; }
  // Once finished: the frames of the last buffer that are sound (0 for none).
  std::uint16_t LastBufferFrames() const {
    return m_buffers == 0 ? 0
                          : static_cast<std::uint16_t>(m_frames - std::uint64_t{m_buffers - 1} *
                                                                      document::kFramesPerBuffer);
  }
  int WriteError() const { return m_writer.Error(); }
  bool TooLong() const { return m_tooLong; }

private:
  bool CompleteBuffer();

  document::ChunkWriter m_writer;
  document::PeakTable& m_peaks;
  std::uint64_t& m_clipped;
  std::size_t m_framesInBuffer = 0;
  std::uint32_t m_buffers = 0;  // completed
  std::uint64_t m_frames = 0;
  bool m_tooLong = false;
};

}  // namespace tavrin::decode
