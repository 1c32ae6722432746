#include "export/flac_frames.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tavrin::exporter {

namespace {

// The frame header's CRC-8 (x^8 + x^2 + x + 1) and the frame's CRC-16
// (x^16 + x^15 + x^2 + 1): most significant bit first, starting from zero.
constexpr std::uint16_t kCrc16Polynomial = 0x8005;

constexpr std::array<std::uint8_t, 256> MakeCrc8Table() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1;
    table[byte] = static_cast<std::uint8_t>(crc);
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> MakeCrc16Table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned crc = byte << 8;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x8000) ? (crc << 1) ^ kCrc16Polynomial : crc << 1;
    table[byte] = static_cast<std::uint16_t>(crc);
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kCrc8Table = MakeCrc8Table();
constexpr std::array<std::uint16_t, 256> kCrc16Table = MakeCrc16Table();

std::uint8_t Crc8(const std::uint8_t* data, std::size_t bytes) {
  std::uint8_t crc = 0;
  for (std::size_t i = 0; i < bytes; ++i) crc = kCrc8Table[crc ^ data[i]];
  return crc;
}

std::uint16_t Crc16(const std::uint8_t* data, std::size_t bytes) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    crc = static_cast<std::uint16_t>((crc << 8) ^ kCrc16Table[(crc >> 8) ^ data[i]]);
  }
  return crc;
}

// a x b modulo the CRC-16 polynomial.
std::uint16_t Crc16Multiply(std::uint16_t a, std::uint16_t b) {
  std::uint16_t product = 0;
  for (int bit = 15; bit >= 0; --bit) {
    product = static_cast<std::uint16_t>((product & 0x8000) ? (product << 1) ^ kCrc16Polynomial
                                                            : product << 1);
    if ((b >> bit) & 1) product ^= a;
  }
  return product;
}

// x^(8 x bytes) modulo the polynomial: what a CRC-16 is multiplied by when
// `bytes` more bytes follow the part it covers.
std::uint16_t Crc16Shift(std::uint64_t bytes) {
  std::uint16_t factor = 1;
  for (std::uint16_t power = 0x100; bytes != 0; bytes >>= 1) {
    if (bytes & 1) factor = Crc16Multiply(factor, power);
    power = Crc16Multiply(power, power);
  }
  return factor;
}

// The length of a frame number coded the way UTF-8 codes a character, from
// its first byte; 0 for a byte that cannot start one.
std::size_t CodedNumberBytes(std::uint8_t first) {
  if (first < 0x80) return 1;
  for (std::size_t bytes = 2; bytes <= 6; ++bytes) {
    const auto lead = static_cast<std::uint8_t>(0xFF00u >> bytes);  // `bytes` ones, then a zero
    const auto mask = static_cast<std::uint8_t>(0xFF80u >> bytes);
    if ((first & mask) == lead) return bytes;
  }
  return 0;
}

std::size_t PutCodedNumber(std::uint32_t number, std::uint8_t* at) {
  if (number < 0x80) {
    at[0] = static_cast<std::uint8_t>(number);
    return 1;
  }
  const std::size_t bytes = number < 0x800       ? 2
                            : number < 0x10000   ? 3
                            : number < 0x200000  ? 4
                            : number < 0x4000000 ? 5
                                                 : 6;
  for (std::size_t i = bytes - 1; i > 0; --i, number >>= 6) {
    at[i] = static_cast<std::uint8_t>(0x80 | (number & 0x3F));
  }
  at[0] = static_cast<std::uint8_t>((0xFF00u >> bytes) | number);
  return bytes;
}

void PutBigEndian(std::uint64_t value, std::size_t bytes, std::uint8_t* at) {
  for (std::size_t i = 0; i < bytes; ++i)
    at[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

}  // namespace

bool AppendRenumberedFrame(const std::uint8_t* flacFrame, std::size_t bytes, std::uint32_t number,
                           std::vector<std::uint8_t>& out) {
  // Sync code with fixed block sizes; block size and rate codes; channels and width.
  if (bytes < 8 || flacFrame[0] != 0xFF || flacFrame[1] != 0xF8 || number >= 0x80000000u) {
    return false;
  }
  const std::size_t numberBytes = CodedNumberBytes(flacFrame[4]);
  if (numberBytes == 0) return false;
  // After the number: the block size and the rate when their codes say "given at the end".
  const unsigned sizeCode = flacFrame[2] >> 4;
  const unsigned rateCode = flacFrame[2] & 0x0F;
  const std::size_t tail = (sizeCode == 6   ? 1
                            : sizeCode == 7 ? 2
                                            : 0) +
                           (rateCode == 12                     ? 1
                            : rateCode == 13 || rateCode == 14 ? 2
                                                               : 0);
  const std::size_t oldHeaderBytes = 4 + numberBytes + tail + 1;
  if (bytes < oldHeaderBytes + 2 ||
      Crc8(flacFrame, oldHeaderBytes - 1) != flacFrame[oldHeaderBytes - 1]) {
    return false;
  }

  std::uint8_t header[4 + 6 + 4 + 1];
  std::memcpy(header, flacFrame, 4);
  std::size_t headerBytes = 4 + PutCodedNumber(number, header + 4);
  std::memcpy(header + headerBytes, flacFrame + 4 + numberBytes, tail);
  headerBytes += tail;
  header[headerBytes] = Crc8(header, headerBytes);
  ++headerBytes;

  // The CRC-16 is linear: crc(header + body) = crc(header) x x^(8 |body|) + crc(body),
  // so swapping the header changes it by the headers' difference moved past
  // the body, and the body need not be read again.
  const std::size_t bodyBytes = bytes - oldHeaderBytes - 2;
  const auto oldCrc = static_cast<std::uint16_t>(flacFrame[bytes - 2] << 8 | flacFrame[bytes - 1]);
  const auto newCrc = static_cast<std::uint16_t>(
      oldCrc ^ Crc16Multiply(Crc16(flacFrame, oldHeaderBytes) ^ Crc16(header, headerBytes),
                             Crc16Shift(bodyBytes)));
  out.insert(out.end(), header, header + headerBytes);
  out.insert(out.end(), flacFrame + oldHeaderBytes, flacFrame + oldHeaderBytes + bodyBytes);
  out.push_back(static_cast<std::uint8_t>(newCrc >> 8));
  out.push_back(static_cast<std::uint8_t>(newCrc));
  return true;
}

std::array<std::uint8_t, kStreamInfoBytes> StreamInfoBytes(const FlacStreamInfo& info) {
  std::array<std::uint8_t, kStreamInfoBytes> bytes{};
  PutBigEndian(info.MinBlockFrames, 2, &bytes[0]);
  PutBigEndian(info.MaxBlockFrames, 2, &bytes[2]);
  PutBigEndian(info.MinFrameBytes, 3, &bytes[4]);
  PutBigEndian(info.MaxFrameBytes, 3, &bytes[7]);
  // 20 bits of rate, 3 of channels - 1, 5 of bits - 1, 36 of total audio frames.
  const std::uint64_t packed =
      std::uint64_t{info.SampleRate} << 44 | std::uint64_t{info.Channels - 1} << 41 |
      std::uint64_t{info.BitsPerSample - 1} << 36 | (info.TotalFrames & 0xFFFFFFFFFull);
  PutBigEndian(packed, 8, &bytes[10]);
  std::memcpy(&bytes[18], info.Md5.data(), info.Md5.size());
  return bytes;
}

std::array<std::uint8_t, kSeekPointBytes> SeekPointBytes(const FlacSeekPoint& point) {
  std::array<std::uint8_t, kSeekPointBytes> bytes{};
  PutBigEndian(point.FirstFrame, 8, &bytes[0]);
  PutBigEndian(point.Offset, 8, &bytes[8]);
  PutBigEndian(point.Frames, 2, &bytes[16]);
  return bytes;
}

FlacBlockPlace FindMetadataBlock(const std::vector<std::uint8_t>& head, int type) {
  for (std::size_t at = 4; at + 4 <= head.size();) {
    const std::size_t bytes =
        std::size_t{head[at + 1]} << 16 | std::size_t{head[at + 2]} << 8 | head[at + 3];
    if ((head[at] & 0x7F) == type && at + 4 + bytes <= head.size()) return {at + 4, bytes};
    if (head[at] & 0x80) break;  // the last block
    at += 4 + bytes;
  }
  return {};
}

JoinedStream::JoinedStream(const FlacStreamInfo& info, std::vector<FlacSeekPoint> points)
    : m_info(info), m_points(std::move(points)) {
  m_info.MinFrameBytes = std::numeric_limits<std::uint32_t>::max();
  m_info.MaxFrameBytes = 0;
}

bool JoinedStream::Add(const std::vector<std::uint32_t>& flacFrameBytes) {
  const std::uint64_t blockFrames = m_info.MaxBlockFrames;
  for (const std::uint32_t bytes : flacFrameBytes) {
    const std::uint64_t first = m_flacFrames * blockFrames;
    if (first >= m_info.TotalFrames) return false;
    const auto frames =
        static_cast<std::uint16_t>(std::min(blockFrames, m_info.TotalFrames - first));
    // A point stands for the FLAC frame that holds its target.
    for (; m_pointsFilled < m_points.size() && m_points[m_pointsFilled].FirstFrame < first + frames;
         ++m_pointsFilled) {
      m_points[m_pointsFilled] = {first, m_flacBytes, frames};
    }
    m_info.MinFrameBytes = std::min(m_info.MinFrameBytes, bytes);
    m_info.MaxFrameBytes = std::max(m_info.MaxFrameBytes, bytes);
    m_flacBytes += bytes;
    ++m_flacFrames;
  }
  return true;
}

std::array<std::uint8_t, kStreamInfoBytes> JoinedStream::StreamInfo(
    const std::array<std::uint8_t, 16>& md5) {
  m_info.Md5 = md5;
  return StreamInfoBytes(m_info);
}

std::vector<std::uint8_t> JoinedStream::SeekTable() const {
  std::vector<std::uint8_t> bytes;
  for (const FlacSeekPoint& point : m_points) {
    const auto one = SeekPointBytes(point);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  return bytes;
}

}  // namespace tavrin::exporter
