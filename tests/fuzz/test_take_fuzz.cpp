// The "test" loader on any take file and any peak file beside it: it loads the
// take's whole buffers with peaks that match the audio or a fitting peak file,
// or says why not and leaves the recorder's take alone; either way the
// recorder's take comes back unchanged.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/peak_file.h"
#include "capture/recorder_state.h"
#include "document/chunked_io.h"
#include "document/peaks.h"
#include "fuzz_support.h"
#include "recovery/test_take.h"

namespace {

using tavrin::capture::kBufferBytes;
using tavrin::capture::RecorderState;

constexpr std::uint8_t kRecorderByte = 0x11;
constexpr std::int16_t kRecorderPeak = 0x3C3C;

RecorderState& State() {
  static RecorderState* state = [] {
    auto* made = new RecorderState;
    made->AllocateCaptureMemory();
    const auto& scratch = tavrin::fuzz::Scratch();
    made->WorkFolder = scratch.Path();
    made->Take.RawPath = scratch.File("Tavrin.raw");
    made->PeaksPath = scratch.File("Tavrin.spv");
    return made;
  }();
  return *state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  // Byte 0: a peak file is there; bytes 1..4: its length, cut to what follows;
  // then the peak file and the take file "test".
  const bool peakFile = (data[0] & 1) != 0;
  std::uint32_t peakBytes = tavrin::fuzz::Le32(data + 1);
  const std::uint8_t* rest = data + 5;
  const std::size_t restBytes = size - 5;
  peakBytes =
      peakFile ? static_cast<std::uint32_t>(std::min<std::size_t>(peakBytes, restBytes)) : 0;
  const std::uint8_t* peaks = rest;
  const std::uint8_t* take = rest + peakBytes;
  const std::size_t takeBytes = restBytes - peakBytes;

  RecorderState& state = State();
  const std::string recorderPath = state.Take.RawPath;
  // The recorder's own take: one buffer, with its peaks.
  const std::vector<std::uint8_t> recorderTake(kBufferBytes, kRecorderByte);
  FUZZ_CHECK(state.Take.RawStream.Create(recorderPath) == 0);
  FUZZ_CHECK(state.Take.RawStream.Write(recorderTake.data(), recorderTake.size()) == 0);
  state.Take.TakeLength = state.Take.LastBufferIndex = state.Take.FinishedRecordedBuffers = 1;
  state.Take.FinishedLoopWrapped = false;
  state.Take.Peaks[1] = {kRecorderPeak, kRecorderPeak, kRecorderPeak, kRecorderPeak};
  const std::string testPath = tavrin::recovery::TestTakePath(state);
  tavrin::fuzz::WriteFile(testPath, take, takeBytes);
  std::error_code ignored;
  std::filesystem::remove(state.PeaksPath, ignored);
  if (peakFile) tavrin::fuzz::WriteFile(state.PeaksPath, peaks, peakBytes);

  const auto length = static_cast<std::uint32_t>(takeBytes / kBufferBytes);
  const bool peaksFit = peakFile && tavrin::capture::PeakFileFits(peakBytes, length);
  tavrin::recovery::TestTakeLoader loader;
  float progress = 0.0f;
  std::string error;
  const bool loaded = loader.LoadTestTake(state, progress, {}, error);
  FUZZ_CHECK(loaded == error.empty());
  if (loaded) {
    FUZZ_CHECK(state.Take.TakeLength == length && state.Take.RawPath == testPath);
    for (std::uint32_t k = 1; k <= length; ++k) {
      const tavrin::document::BufferPeaks expected =
          peaksFit ? tavrin::fuzz::PeaksFrom(peaks + std::size_t{k - 1} * 8)
                   : tavrin::document::MeasurePeaks(take + std::size_t{k - 1} * kBufferBytes,
                                                    tavrin::capture::kFramesPerBuffer);
      FUZZ_CHECK(tavrin::fuzz::SamePeaks(state.Take.Peaks[k], expected));
    }
    // Peaks measured afresh are kept for the next load.
    FUZZ_CHECK(tavrin::capture::PeakFileFits(
        static_cast<std::int64_t>(std::filesystem::file_size(state.PeaksPath)), length));
    if (length > 0) {
      std::vector<std::uint8_t> last(kBufferBytes);
      FUZZ_CHECK(state.Take.RawStream.ReadAt(std::int64_t{length - 1} * kBufferBytes, last.data(),
                                             last.size()) == 0);
      FUZZ_CHECK(std::memcmp(last.data(), take + std::size_t{length - 1} * kBufferBytes,
                             kBufferBytes) == 0);
    }
  } else {
    FUZZ_CHECK(state.Take.RawPath == recorderPath && state.Take.TakeLength == 1);
  }

  loader.RestoreRecorderTake(state);
  FUZZ_CHECK(state.Take.RawPath == recorderPath && state.Take.TakeLength == 1 &&
             state.Take.FinishedRecordedBuffers == 1 &&
             state.Take.Peaks[1].MaxLeft == kRecorderPeak &&
             state.Take.Peaks[1].MinRight == kRecorderPeak);
  std::vector<std::uint8_t> back(kBufferBytes);
  FUZZ_CHECK(state.Take.RawStream.ReadAt(0, back.data(), back.size()) == 0 && back == recorderTake);
  state.Take.RawStream.Close();
  return 0;
}
