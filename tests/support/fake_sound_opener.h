#pragma once
// Stands in for the sound-file decoder: any path becomes a take of `buffers`
// generated buffers in the work file, filled in as the real decoder does
// (peaks measured), with events let run after every buffer. A path with
// "broken" in it fails with a message; one with "slow" writes on until Cancel
// clears the job (at most 5 s); one with "loud" opens with a notice that
// deserves a box, one with "clip" with one for the status bar only.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "document/peaks.h"
#include "editor/window/open_sound.h"

namespace tavrin::testing {

// The bytes of buffer `index` (0-based) of a fake decoding.
inline std::vector<std::uint8_t> FakeDecodedBuffer(std::uint32_t index) {
  std::vector<std::uint8_t> bytes(17640);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 5 + index * 13 + 1);
  return bytes;
}

inline editor::SoundFileOpener FakeSoundOpener(std::uint32_t buffers) {
  return [buffers](const std::string& path, const std::string& workPath, decode::OpenJob& job,
                   const base::UserChannel& user, document::Take& take, decode::OpenReport& report,
                   std::string& message) {
    if (path.find("broken") != std::string::npos) {
      message = path + " is not a sound file.";
      return decode::OpenResult::Failed;
    }
    document::Take made;
    if (made.RawStream.Create(workPath) != 0) return decode::OpenResult::Failed;
    made.SizePeaks();
    const bool slow = path.find("slow") != std::string::npos;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (std::uint32_t b = 0; b < buffers || (slow && std::chrono::steady_clock::now() < end);
         ++b) {
      const auto bytes = FakeDecodedBuffer(b % buffers);
      if (made.RawStream.Write(bytes.data(), bytes.size()) != 0) return decode::OpenResult::Failed;
      made.Peaks[b % buffers + 1] = document::MeasurePeaks(bytes.data(), bytes.size() / 4);
      job.Progress = 100.0f * static_cast<float>(b % buffers + 1) / static_cast<float>(buffers);
      user.Pump();
      if (!job.Active) {
        made.RawStream.Close();
        std::filesystem::remove(workPath);
        return decode::OpenResult::Cancelled;
      }
    }
    if (path.find("loud") != std::string::npos) message = "every sample was clipped";
    if (path.find("clip") != std::string::npos) message = "a sample was clipped";
    report.Alarming = path.find("loud") != std::string::npos;
    made.RawPath = workPath;
    made.FinishInFileOrder(buffers);
    take = std::move(made);
    return decode::OpenResult::Opened;
  };
}

}  // namespace tavrin::testing
