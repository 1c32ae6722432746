#include "capture/take_rescue.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "capture/peak_file.h"
#include "capture/raw_take.h"

namespace tavrin::capture {

namespace fs = std::filesystem;

namespace {

std::string DatedTakePath(const RecorderState& state) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H.%M.%S", &local);
  return state.WorkFolder + "/Tavrin " + stamp + ".raw";
}

// Writes the take's runs, oldest first, into `path`. Returns 0 or errno.
int WriteInOrder(const base::File& take, const std::vector<TakeRun>& runs,
                 const std::string& path) {
  base::File out;
  int error = out.Create(path);
  std::int64_t position = 0;
  for (const TakeRun& run : runs) {
    const std::int64_t bytes = static_cast<std::int64_t>(run.Buffers) * kBufferBytes;
    if (error == 0) error = out.CopyFrom(take, run.ByteOffset(), position, bytes);
    position += bytes;
  }
  if (error == 0 && ::fsync(out.Descriptor()) != 0) error = errno;
  return error;
}

// Tavrin.spv for the kept take from the peaks written beside it, turned to the
// same order; without them it is removed, so that the take's peaks are rebuilt
// rather than taken from an older take of the same length.
void KeepPeaks(const RecorderState& state, std::uint32_t length, std::uint32_t rotateBy) {
  std::error_code code;
  const auto size = fs::file_size(state.TakePeaksPath, code);
  base::File peaks;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length) * 8);
  bool kept = !code && PeakFileFits(static_cast<std::int64_t>(size), length) &&
              peaks.OpenExisting(state.TakePeaksPath) == 0 &&
              peaks.ReadAt(0, bytes.data(), bytes.size()) == 0;
  if (kept) {
    std::rotate(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(rotateBy) * 8,
                bytes.end());
    base::File out;
    kept = out.Create(state.PeaksPath) == 0 && out.Write(bytes.data(), bytes.size()) == 0;
  }
  if (!kept) fs::remove(state.PeaksPath, code);
}

}  // namespace

RescuedTake RescueLeftTake(const RecorderState& state, const TakeOrder& order) {
  std::error_code code;
  const auto size = fs::file_size(state.Take.RawPath, code);
  if (code || size < static_cast<std::uintmax_t>(kBufferBytes)) return {};
  const auto length = static_cast<std::uint32_t>(size / kBufferBytes);
  const std::string testPath = state.WorkFolder + "/test";
  const bool toTest = !fs::exists(testPath, code);
  std::string keptAs = toTest ? testPath : DatedTakePath(state);
  const bool wrapped =
      order.LoopMode && order.LoopWrapped && order.LastWritten > 0 && order.LastWritten < length;
  std::string trouble;
  if (wrapped) {
    base::File take;
    const std::string part = keptAs + ".part";
    int error = take.OpenExisting(state.Take.RawPath);
    if (error == 0) error = WriteInOrder(take, TakeRuns(length, order.LastWritten, true), part);
    if (error == 0 && ::rename(part.c_str(), keptAs.c_str()) != 0) error = errno;
    if (error == 0) {
      fs::remove(state.Take.RawPath, code);
      if (toTest) KeepPeaks(state, length, order.LastWritten);
    } else {
      // Kept as it lies on disk, rather than not at all.
      fs::remove(part, code);
      trouble = std::strerror(error);
      keptAs = DatedTakePath(state);
    }
  }
  if (!wrapped || !trouble.empty()) {
    if (::rename(state.Take.RawPath.c_str(), keptAs.c_str()) != 0) {
      return {{},
              "The take of the last run, which did not end normally, could not be kept: " +
                  std::string(std::strerror(errno))};
    }
    if (toTest && trouble.empty()) KeepPeaks(state, length, 0);
  }
  if (!trouble.empty()) {
    return {keptAs, "The take of the last run, which did not end normally, was kept as " + keptAs +
                        " in the order of its loop, not from its oldest audio (" + trouble + ")."};
  }
  if (toTest) {
    return {keptAs,
            "The take of the last run, which did not end normally, was kept. Open the sound "
            "editor to load it."};
  }
  return {keptAs, "The take of the last run, which did not end normally, was kept as " + keptAs +
                      " (raw audio: 44100 Hz, 16 bits, stereo), because an earlier take kept "
                      "the same way still waits in " +
                      testPath + "."};
}

}  // namespace tavrin::capture
