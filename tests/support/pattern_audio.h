#pragma once
// Generated stereo 16-bit audio in which every sample names its source, block
// (0.1 s, 4410 frames), frame and channel: where any byte read back came from.

#include <cstdint>
#include <vector>

namespace tavrin::testing {

// A distinct value for every source, block, frame and channel, spread over
// the whole 16-bit range.
inline std::int16_t PatternSample(int source, std::uint32_t block, int frame, int channel) {
  const std::uint32_t mixed = source * 40503u + block * 4099u + frame * 131u + channel * 20011u;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(mixed));
}

// Block `block` of `source`, little-endian as a take holds it.
inline std::vector<std::uint8_t> PatternBlock(int source, std::uint32_t block) {
  std::vector<std::uint8_t> bytes(4 * 4410);
  for (int frame = 0; frame < 4410; ++frame) {
    for (int channel = 0; channel < 2; ++channel) {
      const auto value = static_cast<std::uint16_t>(PatternSample(source, block, frame, channel));
      bytes[4 * frame + 2 * channel] = static_cast<std::uint8_t>(value & 0xFF);
      bytes[4 * frame + 2 * channel + 1] = static_cast<std::uint8_t>(value >> 8);
    }
  }
  return bytes;
}

}  // namespace tavrin::testing
