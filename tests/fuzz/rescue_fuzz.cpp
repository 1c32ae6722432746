// A take left by a run that never closed, with any run-marker text and any
// peaks beside it: the marker's order reads back as it was written, and the
// take is kept as "test" with every byte (a wrapped loop take oldest first, in
// whole buffers), its peaks turned the same way or not kept at all.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "capture/peak_file.h"
#include "capture/recorder_state.h"
#include "capture/run_marker.h"
#include "capture/take_rescue.h"
#include "file_bytes.h"
#include "fuzz_support.h"

namespace {

using tavrin::capture::kBufferBytes;
using tavrin::capture::TakeOrder;
using tavrin::testing::FileBytes;

bool SameOrder(const TakeOrder& a, const TakeOrder& b) {
  return a.LoopMode == b.LoopMode && a.LoopWrapped == b.LoopWrapped &&
         a.LastWritten == b.LastWritten;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  // Byte 0: the marker's length; bytes 1..4: the take peaks' length; each cut
  // to what follows. Then the marker text, the take's peaks and the take.
  std::size_t at = 5;
  const std::size_t markerBytes = std::min<std::size_t>(data[0], size - at);
  const std::string_view marker(reinterpret_cast<const char*>(data + at), markerBytes);
  at += markerBytes;
  const std::uint32_t peaksLength = tavrin::fuzz::Le32(data + 1);
  const std::size_t peakBytes = std::min<std::size_t>(peaksLength, size - at);
  const std::uint8_t* peaks = data + at;
  at += peakBytes;
  const std::uint8_t* take = data + at;
  const std::size_t takeBytes = size - at;

  TakeOrder order;
  if (tavrin::capture::ParseTakeOrder(marker, order)) {
    TakeOrder again;
    FUZZ_CHECK(tavrin::capture::ParseTakeOrder(tavrin::capture::FormatTakeOrder(order), again));
    FUZZ_CHECK(SameOrder(order, again));
  } else {
    FUZZ_CHECK(SameOrder(order, TakeOrder{}));
  }

  const auto& scratch = tavrin::fuzz::Scratch();
  tavrin::capture::RecorderState state;
  state.Take.RawPath = scratch.File("Tavrin.raw");
  state.TakePeaksPath = scratch.File("Tavrin.pk");
  state.PeaksPath = scratch.File("Tavrin.spv");
  state.WorkFolder = scratch.Path();
  const std::string testPath = state.WorkFolder + "/test";
  std::error_code ignored;
  for (const std::string& path : {testPath, state.PeaksPath})
    std::filesystem::remove(path, ignored);
  tavrin::fuzz::WriteFile(state.Take.RawPath, take, takeBytes);
  tavrin::fuzz::WriteFile(state.TakePeaksPath, peaks, peakBytes);

  const auto rescued = tavrin::capture::RescueLeftTake(state, order);
  const auto length = static_cast<std::uint32_t>(takeBytes / kBufferBytes);
  if (length == 0) {
    // Less than a buffer is no take; it is left where it lies.
    FUZZ_CHECK(rescued.KeptAs.empty() && rescued.Message.empty());
    FUZZ_CHECK(std::filesystem::exists(state.Take.RawPath));
    return 0;
  }
  FUZZ_CHECK(rescued.KeptAs == testPath && !rescued.Message.empty());
  FUZZ_CHECK(!std::filesystem::exists(state.Take.RawPath));
  const bool wrapped =
      order.LoopMode && order.LoopWrapped && order.LastWritten > 0 && order.LastWritten < length;
  const std::uint32_t rotate = wrapped ? order.LastWritten : 0;
  std::vector<std::uint8_t> expected(
      take, take + (wrapped ? std::size_t{length} * kBufferBytes : takeBytes));
  std::rotate(expected.begin(), expected.begin() + std::ptrdiff_t{rotate} * kBufferBytes,
              expected.begin() + std::ptrdiff_t{length} * kBufferBytes);
  FUZZ_CHECK(FileBytes(testPath) == expected);

  if (tavrin::capture::PeakFileFits(static_cast<std::int64_t>(peakBytes), length)) {
    std::vector<std::uint8_t> turned(peaks, peaks + std::size_t{length} * 8);
    std::rotate(turned.begin(), turned.begin() + std::ptrdiff_t{rotate} * 8, turned.end());
    FUZZ_CHECK(FileBytes(state.PeaksPath) == turned);
  } else {
    FUZZ_CHECK(!std::filesystem::exists(state.PeaksPath));
  }
  return 0;
}
