#pragma once
// The peak file caches a take's peak tables: four little-endian int16 values
// per buffer (left max, left min, right max, right min) for buffers 1..N.

#include <cstdint>
#include <string>

#include "base/file.h"
#include "document/peaks.h"

namespace tavrin::capture {

// A peak file fits a take when its length in int16 values, divided by four
// (integer division), equals the take's length in buffers.
bool PeakFileFits(std::int64_t fileBytes, std::uint32_t takeLength);

// Writes the peaks of buffers 1..takeLength. Returns 0 or errno.
int WritePeakFile(const document::PeakTable& peaks, const std::string& path,
                  std::uint32_t takeLength);

// Writes the peaks of buffers first..first+count-1 at their own place in an
// open peak file (a take's peaks kept on disk while it records). Returns 0 or errno.
int WritePeakRange(base::File& file, const document::PeakTable& peaks, std::uint32_t first,
                   std::uint32_t count);

// Loads the peaks of buffers 1..takeLength when the file fits the take.
// Returns false, with the tables untouched, when it does not or cannot be read.
bool ReadPeakFile(document::PeakTable& peaks, const std::string& path, std::uint32_t takeLength);

}  // namespace tavrin::capture
