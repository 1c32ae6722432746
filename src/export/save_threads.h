#pragma once
// How many threads a save encodes on: every core this process may run on, at
// most kMostSaveThreads, and no more than the audio has pieces of
// kLeastFramesPerThread for. One thread encodes exactly as a plain encoder would.

#include <cstdint>

namespace tavrin::exporter {

inline constexpr unsigned kMostSaveThreads = 16;
// Four seconds at 44100 Hz: a shorter piece costs more in starting its
// encoder than its thread saves.
inline constexpr std::uint64_t kLeastFramesPerThread = 4 * 44100;

// The cores this process may run on (its affinity mask), at least 1.
unsigned UsableCores();

// Threads for `frames` of audio: `wanted` (0: UsableCores()) held to
// kMostSaveThreads and to the pieces of kLeastFramesPerThread the audio
// makes, at least 1.
unsigned SaveThreads(std::uint64_t frames, unsigned wanted = 0);

}  // namespace tavrin::exporter
