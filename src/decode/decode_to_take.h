#pragma once
// Opening any sound file: decoded through libsndfile into the take format
// (44100 Hz, 16-bit, stereo) in a work file, its peaks measured on the way.
// User-interface thread only: it lets pending events run as it goes.

#include <cstdint>
#include <string>

#include "base/user_channel.h"
#include "document/take.h"

namespace tavrin::decode {

// What an opening is doing; the progress dialog reads Progress and clears
// Active for Cancel.
struct OpenJob {
  float Progress = 0.0f;  // percent, 0..100
  bool Active = true;     // cleared by Cancel
};

// What the decoding found, for the user and the tests.
struct OpenReport {
  std::int32_t SourceRate = 0;
  std::int32_t SourceChannels = 0;
  std::uint64_t ClippedSamples = 0;  // samples beyond 16 bits, clipped
  std::uint64_t OutputSamples = 0;   // 16-bit samples decoded, both sides, padding not counted
  // The notice deserves a box, not only the status bar: the file ended before
  // its stated length or was damaged, or more than 1 % of it clipped.
  bool Alarming = false;
};

enum class OpenResult { Opened, Cancelled, Failed };

// Decodes `path` into a new work file at `workPath` and fills `take` with it:
// RawStream open on it, RawPath = workPath, TakeLength = LastBufferIndex =
// FinishedRecordedBuffers = its whole buffers (a last part-buffer is padded
// with silence, LastBufferFrames its frames of sound, so that a save writes
// the file's exact length), FinishedLoopWrapped = false, Peaks
// (kPeakTableEntries entries) measured. Updates job.Progress and pumps `user`
// as it goes; stops when job.Active is cleared. A file that fails midway or
// ends before the length it states opens with what decoded, and says so; one
// of which nothing decodes fails. Cancelled or Failed: `take` untouched and no
// work file left; for Failed, `message` holds the English text to show (the
// caller shows it); for Opened, what the user is told once the file is open,
// one notice a line: what is missing, the source's notice (which track
// opened), channels mixed evenly for want of their speakers, the
// ClippingNotice (empty for nothing).
OpenResult DecodeToTake(const std::string& path, const std::string& workPath, OpenJob& job,
                        const base::UserChannel& user, document::Take& take, OpenReport& report,
                        std::string& message);

// What the user is told once `path` has opened with samples clipped, e.g.
// "x.wav: 0.4 % of its samples were louder than 16 bits can hold and were
// clipped."; "" when none were.
std::string ClippingNotice(const std::string& path, const OpenReport& report);
// The share of the decoded samples that clipped, in percent.
double ClippedPercent(const OpenReport& report);

}  // namespace tavrin::decode
