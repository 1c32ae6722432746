#include "export/mp3_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavrin::exporter {

namespace {

constexpr std::array<std::uint32_t, 15> kMpeg1Kbps = {0,   32,  40,  48,  56,  64,  80, 96,
                                                      112, 128, 160, 192, 224, 256, 320};
constexpr std::array<std::uint32_t, 15> kMpeg2Kbps = {0,  8,  16, 24,  32,  40,  48, 56,
                                                      64, 80, 96, 112, 128, 144, 160};
constexpr std::array<std::uint32_t, 3> kMpeg1Rates = {44100, 48000, 32000};
constexpr std::size_t kMostTocSamples = 400;
constexpr std::uint32_t kAllInfoFields = 0x0F;  // frames, bytes, seek table, quality

// Offsets from the "Xing"/"Info" text.
constexpr std::size_t kFlagsAt = 4;
constexpr std::size_t kFramesAt = 8;
constexpr std::size_t kBytesAt = 12;
constexpr std::size_t kTocAt = 16;
constexpr std::size_t kDelayPaddingAt = 141;  // 12 bits each
constexpr std::size_t kMusicLengthAt = 148;
constexpr std::size_t kMusicCrcAt = 152;
constexpr std::size_t kFrameCrcAt = 154;
constexpr std::size_t kInfoEnd = 156;
constexpr std::int64_t kMostPadding = 4095;

std::uint32_t BigEndian32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 |
         at[3];
}

void PutBigEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, value >>= 8) at[i] = static_cast<std::uint8_t>(value);
}

}  // namespace

Mp3FrameHeader ParseMp3FrameHeader(const std::uint8_t* data, std::size_t available) {
  Mp3FrameHeader header;
  if (available < 4 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0) return header;
  const int version = (data[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int layer = (data[1] >> 1) & 3;    // 1: layer III
  const unsigned kbpsIndex = data[2] >> 4;
  const unsigned rateIndex = (data[2] >> 2) & 3;
  if (version == 1 || layer != 1 || kbpsIndex == 0 || kbpsIndex == 15 || rateIndex == 3) {
    return header;
  }
  header.Mpeg1 = version == 3;
  header.Mono = (data[3] >> 6) == 3;
  header.Kbps = (header.Mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[kbpsIndex];
  header.SampleRate = kMpeg1Rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  const std::uint32_t scale = header.Mpeg1 ? 144000 : 72000;
  header.Bytes = scale * header.Kbps / header.SampleRate + ((data[2] >> 1) & 1);
  return header;
}

std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t bytes) {
  static const std::array<std::uint16_t, 256> table = [] {
    std::array<std::uint16_t, 256> entries{};
    for (unsigned i = 0; i < 256; ++i) {
      unsigned value = i;
      for (int bit = 0; bit < 8; ++bit) value = value & 1 ? (value >> 1) ^ 0xA001 : value >> 1;
      entries[i] = static_cast<std::uint16_t>(value);
    }
    return entries;
  }();
  for (std::size_t i = 0; i < bytes; ++i) {
    crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
  }
  return crc;
}

void InfoFrameTotals::Add(const std::uint8_t* frame, const Mp3FrameHeader& header) {
  ++m_frames;
  m_bytes += header.Bytes;
  m_crc = Crc16(m_crc, frame, header.Bytes);
  m_kbpsSum += header.Kbps;
  if (++m_seen < m_stride) return;
  m_samples.push_back(m_kbpsSum);
  m_seen = 0;
  if (m_samples.size() == kMostTocSamples) {
    for (std::size_t i = 1; i < kMostTocSamples; i += 2) m_samples[i / 2] = m_samples[i];
    m_samples.resize(kMostTocSamples / 2);
    m_stride *= 2;
  }
}

std::array<std::uint8_t, kTocEntries> InfoFrameTotals::Toc() const {
  std::array<std::uint8_t, kTocEntries> toc{};
  if (m_samples.empty()) return toc;
  // Single precision as LAME computes it, so that one encoder's stream gets its own table.
  const auto count = static_cast<int>(m_samples.size());
  for (std::size_t i = 1; i < kTocEntries; ++i) {
    const float share = static_cast<float>(i) / static_cast<float>(kTocEntries);
    int index = static_cast<int>(std::floor(share * static_cast<float>(count)));
    if (index > count - 1) index = count - 1;
    const float before = static_cast<float>(m_samples[static_cast<std::size_t>(index)]);
    const float all = static_cast<float>(m_kbpsSum);
    toc[i] = static_cast<std::uint8_t>(std::min(static_cast<int>(256.0 * before / all), 255));
  }
  return toc;
}

std::size_t InfoTagOffset(const Mp3FrameHeader& header) {
  const std::size_t sideInfoBytes = header.Mpeg1 ? (header.Mono ? 17 : 32) : (header.Mono ? 9 : 17);
  return 4 + sideInfoBytes;
}

bool RewriteInfoFrame(std::vector<std::uint8_t>& frame, const InfoFrameTotals& totals,
                      std::int64_t takeFrames) {
  const Mp3FrameHeader header = ParseMp3FrameHeader(frame.data(), frame.size());
  const std::size_t at = InfoTagOffset(header);
  if (header.Bytes != frame.size() || at + kInfoEnd > frame.size()) return false;
  std::uint8_t* tag = frame.data() + at;
  if ((std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0) ||
      BigEndian32(tag + kFlagsAt) != kAllInfoFields) {
    return false;
  }
  const std::int64_t delay = tag[kDelayPaddingAt] << 4 | tag[kDelayPaddingAt + 1] >> 4;
  const std::int64_t samplesPerFrame = header.Mpeg1 ? kFramesPerMp3Frame : kFramesPerMp3Frame / 2;
  const std::int64_t padding = totals.Frames() * samplesPerFrame - delay - takeFrames;
  if (padding < 0 || padding > kMostPadding) return false;

  // The counts are 32 bits wide; a longer stream keeps the low bits, as LAME writes them.
  const auto streamBytes = static_cast<std::uint32_t>(frame.size() + totals.Bytes());
  PutBigEndian(tag + kFramesAt, totals.Frames(), 4);
  PutBigEndian(tag + kBytesAt, streamBytes, 4);
  const auto toc = totals.Toc();
  std::memcpy(tag + kTocAt, toc.data(), toc.size());
  tag[kDelayPaddingAt + 1] = static_cast<std::uint8_t>((delay & 0x0F) << 4 | padding >> 8);
  tag[kDelayPaddingAt + 2] = static_cast<std::uint8_t>(padding);
  PutBigEndian(tag + kMusicLengthAt, streamBytes, 4);
  PutBigEndian(tag + kMusicCrcAt, totals.MusicCrc(), 2);
  PutBigEndian(tag + kFrameCrcAt, Crc16(0, frame.data(), at + kFrameCrcAt), 2);
  return true;
}

}  // namespace tavrin::exporter
