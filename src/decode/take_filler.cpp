#include "decode/take_filler.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "document/take.h"

namespace tavrin::decode {

namespace {

constexpr std::size_t kFrameBytes = document::kBufferBytes / document::kFramesPerBuffer;
// 1.5 x 2^23: a float of magnitude below 2^22 plus this has no fraction bits
// left, so the sum is rounded as the default mode rounds (halves to even),
// without a call to the library for every sample.
constexpr float kRoundingMagic = 12582912.0f;

}  // namespace

std::int16_t ToSample16(float value, std::uint64_t& clipped) {
  const float scaled = value * 32768.0f;
  // Exact bounds of what rounds (halves to even) into 16 bits; NaN fails both.
  if (scaled >= -32768.5f && scaled < 32767.5f) {
    return static_cast<std::int16_t>((scaled + kRoundingMagic) - kRoundingMagic);
  }
  ++clipped;
  return scaled > 0.0f ? 32767 : scaled < 0.0f ? -32768 : 0;
}

namespace {

// How many of `count` samples ToSample16 would clip. Loops without calls or
// branches, which the compiler runs several samples at a time (this file is
// built without trapping floating-point compares).
std::size_t Outside(const float* values, std::size_t count) {
  std::size_t outside = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const float scaled = values[i] * 32768.0f;
    outside += (scaled >= -32768.5f && scaled < 32767.5f) ? 0 : 1;
  }
  return outside;
}

// ToSample16 for samples none of which clips.
void Inside(const float* values, std::size_t count, std::int16_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = static_cast<std::int16_t>(
        static_cast<std::int32_t>((values[i] * 32768.0f + kRoundingMagic) - kRoundingMagic));
  }
}

}  // namespace

TakeFiller::TakeFiller(base::File& file, document::PeakTable& peaks, std::uint64_t& clipped)
    : m_writer(file, 0), m_peaks(peaks), m_clipped(clipped) {}

bool TakeFiller::Add(const float* stereo, std::size_t frames) {
  while (frames > 0) {
    if (m_tooLong) return false;
    const std::size_t count =
        std::min(frames, std::size_t{document::kFramesPerBuffer} - m_framesInBuffer);
    std::uint8_t* slot = m_writer.Slot() + m_framesInBuffer * kFrameBytes;
    // Converted into samples of their own type, then copied whole; the exact
    // rule sample by sample only where something clips.
    std::array<std::int16_t, 2 * document::kFramesPerBuffer> samples;
    if (Outside(stereo, 2 * count) == 0) {
      Inside(stereo, 2 * count, samples.data());
    } else {
      for (std::size_t i = 0; i < 2 * count; ++i) samples[i] = ToSample16(stereo[i], m_clipped);
    }
    std::memcpy(slot, samples.data(), 2 * count * sizeof(std::int16_t));
    stereo += 2 * count;
    frames -= count;
    m_frames += count;
    m_framesInBuffer += count;
    if (m_framesInBuffer == document::kFramesPerBuffer && !CompleteBuffer()) return false;
  }
  return true;
}

bool TakeFiller::Finish() {
  if (m_framesInBuffer > 0) {
    std::memset(m_writer.Slot() + m_framesInBuffer * kFrameBytes, 0,
                (document::kFramesPerBuffer - m_framesInBuffer) * kFrameBytes);
    if (!CompleteBuffer()) return false;
  }
  return m_writer.Commit();
}

bool TakeFiller::CompleteBuffer() {
  // Buffer numbers index the peak table, whose last entry is kTenHoursBuffers - 1.
  if (m_buffers + 1 >= document::kTenHoursBuffers) {
    m_tooLong = true;
    return false;
  }
  ++m_buffers;
  m_peaks[m_buffers] = document::MeasurePeaks(m_writer.Slot(), document::kFramesPerBuffer);
  m_framesInBuffer = 0;
  return m_writer.Add();
}

}  // namespace tavrin::decode
