// The peak-file reader on any file and any take length: it loads exactly the
// take's buffers 1..N when the file fits the take, and otherwise leaves the
// tables as they were.

#include <algorithm>
#include <cstdint>

#include "capture/peak_file.h"
#include "capture/recorder_state.h"
#include "fuzz_support.h"

namespace {

using tavrin::capture::kPeakTableEntries;
using tavrin::capture::RecorderState;
using tavrin::fuzz::SamePeaks;

constexpr tavrin::document::BufferPeaks kUntouched{0x5A5A, 0x5A5A, 0x5A5A, 0x5A5A};

// The tables are 2.8 MB; they are filled once, and after each input only the
// entries it may have written are set back.
RecorderState& State() {
  static RecorderState* state = [] {
    auto* made = new RecorderState;
    made->AllocateCaptureMemory();
    made->Take.Peaks.assign(made->Take.Peaks.size(), kUntouched);
    return made;
  }();
  return *state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // The first four bytes are the take's length in buffers, the rest the file.
  const std::uint32_t takeLength = tavrin::fuzz::Le32(data);
  const std::string path = tavrin::fuzz::Scratch().File("fuzz.peaks");
  const std::uint8_t* file = data + 4;
  const std::size_t fileBytes = size - 4;
  tavrin::fuzz::WriteFile(path, file, fileBytes);

  RecorderState& state = State();
  const bool loaded = tavrin::capture::ReadPeakFile(state.Take.Peaks, path, takeLength);
  // What a file this short can have written: entries 1 .. fileBytes / 8.
  const std::size_t reach = std::min<std::size_t>(fileBytes / 8 + 2, kPeakTableEntries);
  if (loaded) {
    FUZZ_CHECK(takeLength < kPeakTableEntries && fileBytes / 8 == takeLength);
    FUZZ_CHECK(SamePeaks(state.Take.Peaks[0], kUntouched));
    for (std::uint32_t k = 1; k <= takeLength; ++k) {
      FUZZ_CHECK(SamePeaks(state.Take.Peaks[k], tavrin::fuzz::PeaksFrom(file + (k - 1) * 8)));
    }
    if (std::size_t{takeLength} + 1 < kPeakTableEntries) {
      FUZZ_CHECK(SamePeaks(state.Take.Peaks[takeLength + 1], kUntouched));
    }
  } else {
    for (std::size_t k = 0; k < reach; ++k) FUZZ_CHECK(SamePeaks(state.Take.Peaks[k], kUntouched));
  }
  std::fill(state.Take.Peaks.begin(), state.Take.Peaks.begin() + static_cast<std::ptrdiff_t>(reach),
            kUntouched);
  return 0;
}
