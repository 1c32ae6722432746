#include "document/peaks.h"

#include <algorithm>
#include <cstring>

namespace tavrin::document {

namespace {

// Even lanes carry left samples, odd lanes right ones. 32 lanes are four
// 128-bit registers of 16-bit samples: the compiler keeps them in registers
// and turns the loop into vector min/max with independent chains.
constexpr std::size_t kLanes = 32;

}  // namespace

void BufferPeaks::Include(const BufferPeaks& other) {
  MaxLeft = std::max(MaxLeft, other.MaxLeft);
  MinLeft = std::min(MinLeft, other.MinLeft);
  MaxRight = std::max(MaxRight, other.MaxRight);
  MinRight = std::min(MinRight, other.MinRight);
}

BufferPeaks MeasurePeaks(const std::uint8_t* bytes, std::size_t frames) {
  std::int16_t high[kLanes];
  std::int16_t low[kLanes];
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    high[lane] = lane % 2 == 0 ? kStartPeaks.MaxLeft : kStartPeaks.MaxRight;
    low[lane] = lane % 2 == 0 ? kStartPeaks.MinLeft : kStartPeaks.MinRight;
  }
  const std::size_t samples = 2 * frames;
  std::int16_t group[kLanes];
  std::size_t i = 0;
  for (; i + kLanes <= samples; i += kLanes) {
    std::memcpy(group, bytes + 2 * i, sizeof group);
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      high[lane] = std::max(high[lane], group[lane]);
      low[lane] = std::min(low[lane], group[lane]);
    }
  }
  // The rest is a whole number of frames, so lanes keep their channels.
  for (std::size_t lane = 0; i < samples; ++i, ++lane) {
    std::int16_t sample;
    std::memcpy(&sample, bytes + 2 * i, sizeof sample);
    high[lane] = std::max(high[lane], sample);
    low[lane] = std::min(low[lane], sample);
  }
  BufferPeaks peaks = kStartPeaks;
  for (std::size_t lane = 0; lane < kLanes; lane += 2) {
    peaks.Include(BufferPeaks{high[lane], low[lane], high[lane + 1], low[lane + 1]});
  }
  return peaks;
}

}  // namespace tavrin::document
