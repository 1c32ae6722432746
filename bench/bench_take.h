#pragma once
// The benchmarks' take: 10 minutes (unless asked for more) of deterministic stereo audio (two tones
// and a little noise), written once as a raw file that sox and lame read too.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tavrin::bench {

inline constexpr std::uint32_t kBenchTakeBuffers = 6000;  // 10 minutes of 0.1 s buffers

// Writes the take (`buffers` long) to `path` unless a file of the right size is already there.
inline bool MakeBenchTake(const std::string& path, std::uint32_t buffers = kBenchTakeBuffers) {
  const std::uint64_t frames = std::uint64_t{buffers} * 4410;
  if (std::FILE* existing = std::fopen(path.c_str(), "rb")) {
    std::fseek(existing, 0, SEEK_END);
    const long size = std::ftell(existing);
    std::fclose(existing);
    if (static_cast<std::uint64_t>(size) == frames * 4) return true;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::vector<std::int16_t> block(2 * 4410);
  std::uint32_t noise = 12345;
  for (std::uint64_t first = 0; first < frames; first += 4410) {
    for (std::uint64_t j = 0; j < 4410; ++j) {
      const double t = static_cast<double>(first + j) / 44100.0;
      noise = noise * 1664525u + 1013904223u;
      const double hiss = (static_cast<double>(noise >> 16) / 65536.0 - 0.5) * 600.0;
      block[2 * j] = static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * 440 * t) + hiss);
      block[2 * j + 1] = static_cast<std::int16_t>(7000 * std::sin(2 * M_PI * 660 * t) - hiss);
    }
    if (std::fwrite(block.data(), 2, block.size(), file) != block.size()) {
      std::fclose(file);
      return false;
    }
  }
  return std::fclose(file) == 0;
}

}  // namespace tavrin::bench
