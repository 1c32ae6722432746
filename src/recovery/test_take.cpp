#include "recovery/test_take.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <utility>

#include "capture/peak_file.h"
#include "document/chunked_io.h"
#include "document/peaks.h"

namespace tavrin::recovery {

namespace {

using capture::kBufferBytes;

// Measures buffers 1..length of `take` into `peaks`. Returns 0 or errno.
int MeasureTake(document::PeakTable& peaks, const base::File& take, std::uint32_t length,
                float& progress, const TestTakeLoader::Hooks& hooks) {
  ::posix_fadvise(take.Descriptor(), 0, 0, POSIX_FADV_SEQUENTIAL);
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(document::kChunkBuffers) * kBufferBytes);
  for (std::uint32_t first = 1; first <= length; first += document::kChunkBuffers) {
    const std::uint32_t count = std::min(document::kChunkBuffers, length - first + 1);
    const int error = take.ReadAt(static_cast<std::int64_t>(first - 1) * kBufferBytes, chunk.data(),
                                  static_cast<std::size_t>(count) * kBufferBytes);
    if (error != 0) return error;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t k = first + i;
      peaks[k] = document::MeasurePeaks(chunk.data() + static_cast<std::size_t>(i) * kBufferBytes,
                                        capture::kFramesPerBuffer);
      progress = static_cast<float>(static_cast<double>(k) / length * 100.0);
      hooks.User.Pump();
    }
  }
  return 0;
}

}  // namespace

std::string TestTakePath(const capture::RecorderState& state) {
  return state.WorkFolder + "/test";
}

bool TestTakeOffered(const capture::RecorderState& state) {
  std::error_code ignored;
  return !state.LoopMode && !state.WorkFolder.empty() &&
         std::filesystem::exists(TestTakePath(state), ignored);
}

bool TestTakeLoader::LoadTestTake(capture::RecorderState& state, float& progress,
                                  const Hooks& hooks, std::string& error) {
  const auto refuse = [&error](std::string text) {
    error = std::move(text);
    return false;
  };
  base::File test;
  if (const int code = test.OpenExisting(TestTakePath(state)); code != 0) {
    return refuse(std::strerror(code));
  }
  const std::int64_t bytes = test.Size();
  if (bytes < 0) return refuse(std::strerror(errno));
  const auto length = static_cast<std::uint64_t>(bytes) / kBufferBytes;
  if (length >= capture::kPeakTableEntries) {
    return refuse("The recorded wave file is longer than 10 hours, so it can not be loaded.");
  }
  // The new take is made whole on the side; the recorder's take is set
  // aside only once nothing can fail any more.
  document::Take loaded;
  loaded.SizePeaks();
  const auto takeLength = static_cast<std::uint32_t>(length);
  if (!capture::ReadPeakFile(loaded.Peaks, state.PeaksPath, takeLength)) {
    if (hooks.RebuildStarting) hooks.RebuildStarting();
    int code = MeasureTake(loaded.Peaks, test, takeLength, progress, hooks);
    if (code == 0) code = capture::WritePeakFile(loaded.Peaks, state.PeaksPath, takeLength);
    if (code != 0) return refuse(std::strerror(code));
  }
  loaded.RawStream = std::move(test);
  loaded.RawPath = TestTakePath(state);
  // The capture's own counters are not the take's to change.
  loaded.FinishInFileOrder(takeLength);
  PutIn(state, std::move(loaded));
  return true;
}

}  // namespace tavrin::recovery
