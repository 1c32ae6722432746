#pragma once
// Stands in for the sound-file decoder: "decodes" any path into a raw take of
// `buffers` generated buffers in the work file, filling the take as the real
// decoder does (peaks measured), and letting events run after every buffer.
// A path containing "broken" fails with a message; one containing "slow"
// keeps going, a buffer at a time, until Cancel clears the job (or 5 s pass).

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "document/peaks.h"
#include "editor/window/open_sound.h"

namespace tavrin::testing {

inline constexpr std::size_t kFakeBufferBytes = 17640;

// The bytes of buffer `index` (0-based) of a fake decoding.
inline std::vector<std::uint8_t> FakeDecodedBuffer(std::uint32_t index) {
  std::vector<std::uint8_t> bytes(kFakeBufferBytes);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 5 + index * 13 + 1);
  }
  return bytes;
}

inline editor::SoundFileOpener FakeSoundOpener(std::uint32_t buffers,
                                               std::vector<std::string>* workPaths = nullptr) {
  return [buffers, workPaths](const std::string& path, const std::string& workPath,
                              decode::OpenJob& job, const base::UserChannel& user,
                              document::Take& take, decode::OpenReport&, std::string& message) {
    if (workPaths) workPaths->push_back(workPath);
    if (path.find("broken") != std::string::npos) {
      message = path + " is not a sound file.";
      return decode::OpenResult::Failed;
    }
    document::Take made;
    if (made.RawStream.Create(workPath) != 0) {
      message = "cannot create " + workPath;
      return decode::OpenResult::Failed;
    }
    made.Peaks.assign(document::kPeakTableEntries, document::BufferPeaks{});
    const bool slow = path.find("slow") != std::string::npos;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (std::uint32_t b = 0; b < buffers || slow; ++b) {
      if (slow && std::chrono::steady_clock::now() > end) break;
      const auto bytes = FakeDecodedBuffer(b % buffers);
      if (made.RawStream.Write(bytes.data(), bytes.size()) != 0) break;
      made.Peaks[b % buffers + 1] = document::MeasurePeaks(bytes.data(), kFakeBufferBytes / 4);
      job.Progress = 100.0f * static_cast<float>(b % buffers + 1) / static_cast<float>(buffers);
      user.Pump();
      if (!job.Active) {
        made.RawStream.Close();
        std::filesystem::remove(workPath);
        return decode::OpenResult::Cancelled;
      }
    }
    made.RawPath = workPath;
    made.TakeLength = made.LastBufferIndex = made.FinishedRecordedBuffers = buffers;
    made.FinishedLoopWrapped = false;
    take = std::move(made);
    return decode::OpenResult::Opened;
  };
}

}  // namespace tavrin::testing
