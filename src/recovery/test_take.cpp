#include "recovery/test_take.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "capture/peak_file.h"
#include "document/peaks.h"
#include "editor/buffer_io.h"

namespace tavrin::recovery {

namespace {

using capture::kBufferBytes;

// Measures buffers 1..length of `take` into the peak tables. Returns 0 or errno.
int MeasureTake(capture::RecorderState& state, const base::File& take, std::uint32_t length,
                float& progress, const TestTakeLoader::Hooks& hooks) {
  ::posix_fadvise(take.Descriptor(), 0, 0, POSIX_FADV_SEQUENTIAL);
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(editor::kChunkBuffers) * kBufferBytes);
  for (std::uint32_t first = 1; first <= length; first += editor::kChunkBuffers) {
    const std::uint32_t count = std::min(editor::kChunkBuffers, length - first + 1);
    const int error = take.ReadAt(static_cast<std::int64_t>(first - 1) * kBufferBytes, chunk.data(),
                                  static_cast<std::size_t>(count) * kBufferBytes);
    if (error != 0) return error;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t k = first + i;
      state.Peaks[k] = document::MeasurePeaks(
          chunk.data() + static_cast<std::size_t>(i) * kBufferBytes, capture::kFramesPerBuffer);
      progress = static_cast<float>(static_cast<double>(k) / length * 100.0);
      if (hooks.ProcessMessages) hooks.ProcessMessages();
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
  base::File test;
  if (const int code = test.OpenExisting(TestTakePath(state)); code != 0) {
    error = std::strerror(code);
    return false;
  }
  const std::int64_t bytes = test.Size();
  if (bytes < 0) {
    error = std::strerror(errno);
    return false;
  }
  const auto length = static_cast<std::uint64_t>(bytes) / kBufferBytes;
  if (length >= capture::kPeakTableEntries) {
    error = "The recorded wave file is longer than 10 hours, so it can not be loaded.";
    return false;
  }
  const auto takeLength = static_cast<std::uint32_t>(length);
  if (!m_loaded) SaveRecorderTake(state);
  if (!capture::ReadPeakFile(state, state.PeaksPath, takeLength)) {
    if (hooks.RebuildStarting) hooks.RebuildStarting();
    int code = MeasureTake(state, test, takeLength, progress, hooks);
    if (code == 0) code = capture::WritePeakFile(state, state.PeaksPath, takeLength);
    if (code != 0) {
      RestorePeaks(state);
      error = std::strerror(code);
      return false;
    }
  }
  if (!m_loaded) m_stream.Adopt(state.RawStream.Release());
  state.RawStream.Adopt(test.Release());
  state.RawPath = TestTakePath(state);
  // One run in file order; the capture's own counters are not the take's to change.
  state.TakeLength = state.LastBufferIndex = state.FinishedRecordedBuffers = takeLength;
  state.FinishedLoopWrapped = false;
  m_loaded = true;
  return true;
}

void TestTakeLoader::SaveRecorderTake(const capture::RecorderState& state) {
  m_rawPath = state.RawPath;
  m_takeLength = std::min(state.TakeLength, capture::kPeakTableEntries - 1);
  m_lastBufferIndex = state.LastBufferIndex;
  m_finishedRecordedBuffers = state.FinishedRecordedBuffers;
  m_finishedLoopWrapped = state.FinishedLoopWrapped;
  const std::size_t entries = std::min<std::size_t>(m_takeLength + 1, state.Peaks.size());
  m_peaks.assign(state.Peaks.begin(), state.Peaks.begin() + static_cast<std::ptrdiff_t>(entries));
}

void TestTakeLoader::RestorePeaks(capture::RecorderState& state) const {
  std::copy(m_peaks.begin(), m_peaks.end(), state.Peaks.begin());
}

void TestTakeLoader::RestoreRecorderTake(capture::RecorderState& state) {
  if (!m_loaded) return;
  state.RawStream.Adopt(m_stream.Release());
  state.RawPath = m_rawPath;
  state.TakeLength = m_takeLength;
  state.LastBufferIndex = m_lastBufferIndex;
  state.FinishedRecordedBuffers = m_finishedRecordedBuffers;
  state.FinishedLoopWrapped = m_finishedLoopWrapped;
  RestorePeaks(state);
  m_loaded = false;
}

}  // namespace tavrin::recovery
