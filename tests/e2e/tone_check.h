#pragma once
// Reading a raw take and checking that it holds the private daemon's 1 kHz
// tone: its level, and that it runs on without a break.

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace tavrin::testing {

struct StereoSamples {
  std::vector<double> Left;
  std::vector<double> Right;
};

inline StereoSamples ReadRawTake(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
  StereoSamples samples;
  for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
    samples.Left.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    samples.Right.push_back(static_cast<std::int16_t>(bytes[i + 2] | (bytes[i + 3] << 8)));
  }
  return samples;
}

// Level relative to the tone the daemon plays (RMS 0.3536 of full scale), in dB.
inline double ToneLevelDb(const std::vector<double>& samples) {
  double sum = 0;
  for (double s : samples) sum += s * s;
  const double rms = std::sqrt(sum / static_cast<double>(samples.size()));
  return 20 * std::log10(rms / (0.3536 * 32768));
}

// A pure tone satisfies s[n+1] + s[n-1] = 2 cos(w) s[n]; a gap or a buffer out
// of place breaks it by far more than 16-bit rounding does.
inline double WorstToneResidual(const std::vector<double>& samples) {
  const double twoCos = 2 * std::cos(2 * std::numbers::pi * 1000.0 / 44100.0);
  double worst = 0;
  for (std::size_t n = 1; n + 1 < samples.size(); ++n) {
    worst = std::max(worst, std::abs(samples[n + 1] + samples[n - 1] - twoCos * samples[n]));
  }
  return worst;
}

}  // namespace tavrin::testing
