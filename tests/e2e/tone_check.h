#pragma once
// Reading a raw take and checking that it holds the private daemon's 1 kHz
// tone: its level, and that it runs on without a break. On PipeWire, whose
// graph resamples, the tone is checked the same way, but never byte for byte.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "file_bytes.h"

namespace tavrin::testing {

// True when with-pipewire.sh started the private server (TAVRIN_SERVER).
inline bool OnPipeWire() {
  const char* server = std::getenv("TAVRIN_SERVER");
  return server != nullptr && std::string_view(server) == "pipewire";
}

// The residual (below) that 16-bit rounding, and PipeWire's resampler, stay
// well under; a sample lost or repeated gives thousands.
inline constexpr double kToneResidualLimit = 40.0;

struct StereoSamples {
  std::vector<double> Left;
  std::vector<double> Right;
};

// Stereo 16-bit little-endian frames, as a take or a stream holds them.
inline StereoSamples SamplesOf(const char* data, std::size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  StereoSamples samples;
  for (std::size_t i = 0; i + 3 < size; i += 4) {
    samples.Left.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    samples.Right.push_back(static_cast<std::int16_t>(bytes[i + 2] | (bytes[i + 3] << 8)));
  }
  return samples;
}

inline StereoSamples ReadRawTake(const std::string& path) {
  const std::string bytes = FileText(path);
  return SamplesOf(bytes.data(), bytes.size());
}

// Level relative to the tone the daemon plays (RMS 0.3536 of full scale), in dB.
inline double ToneLevelDb(const std::vector<double>& samples) {
  double sum = 0;
  for (double s : samples) sum += s * s;
  const double rms = std::sqrt(sum / static_cast<double>(samples.size()));
  return 20 * std::log10(rms / (0.3536 * 32768));
}

// A pure tone satisfies s[n+1] + s[n-1] = 2 cos(w) s[n]; a gap or a buffer out
// of place breaks it by far more than 16-bit rounding does. For 0 < n < size - 1.
inline double ToneResidualAt(const std::vector<double>& samples, std::size_t n) {
  const double twoCos = 2 * std::cos(2 * std::numbers::pi * 1000.0 / 44100.0);
  return std::abs(samples[n + 1] + samples[n - 1] - twoCos * samples[n]);
}

inline double WorstToneResidual(const std::vector<double>& samples) {
  double worst = 0;
  for (std::size_t n = 1; n + 1 < samples.size(); ++n) {
    worst = std::max(worst, ToneResidualAt(samples, n));
  }
  return worst;
}

// Where the tone runs unbroken from. PulseAudio's streams start on it: 0.
// A new stream on PipeWire starts with some silence and its resampler's ramp,
// so there the last break among the first `within` samples marks the start.
inline std::size_t ToneStart(const std::vector<double>& samples, std::size_t within) {
  if (!OnPipeWire()) return 0;
  std::size_t start = 0;
  for (std::size_t n = 1; n + 1 < samples.size() && n <= within; ++n) {
    if (ToneResidualAt(samples, n) >= kToneResidualLimit) start = n + 2;
  }
  return start;
}

// The tone from its start (see ToneStart) on: its level and worst residual.
// With `endWithin`, a tone that stops (playback) may also end in a ramp on
// PipeWire, among its last `endWithin` samples; End counts them.
struct ToneMeasure {
  std::size_t Start = 0;
  std::size_t End = 0;
  double LevelDb = -1000;
  double WorstResidual = 1e9;
};
inline ToneMeasure MeasureTone(const std::vector<double>& samples, std::size_t startWithin,
                               std::size_t endWithin = 0) {
  ToneMeasure measure;
  measure.Start = ToneStart(samples, startWithin);
  // The recurrence runs backwards as well.
  measure.End = ToneStart(std::vector<double>(samples.rbegin(), samples.rend()), endWithin);
  if (measure.Start + measure.End + 2 >= samples.size()) return measure;
  const std::vector<double> tone(samples.begin() + static_cast<std::ptrdiff_t>(measure.Start),
                                 samples.end() - static_cast<std::ptrdiff_t>(measure.End));
  measure.LevelDb = ToneLevelDb(tone);
  measure.WorstResidual = WorstToneResidual(tone);
  return measure;
}

// `frames` stereo 16-bit frames of the daemon's tone (RMS 0.3536 of full
// scale) from phase 0, as a take holds them; the right channel silent unless `rightToo`.
inline std::vector<std::uint8_t> ToneBytes(std::size_t frames, bool rightToo = true) {
  std::vector<std::uint8_t> bytes(frames * 4);
  for (std::size_t n = 0; n < frames; ++n) {
    const auto sample = static_cast<std::int16_t>(std::lround(
        16384 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(n) / 44100.0)));
    std::memcpy(&bytes[n * 4], &sample, 2);
    if (rightToo) std::memcpy(&bytes[n * 4 + 2], &sample, 2);
  }
  return bytes;
}

}  // namespace tavrin::testing
