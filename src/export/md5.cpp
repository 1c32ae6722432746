#include "export/md5.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tavrin::exporter {

namespace {

// floor(|sin(i + 1)| x 2^32), RFC 1321's table T.
constexpr std::uint32_t kMd5Sine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
constexpr int kMd5Shift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

std::uint32_t LoadLe32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
         std::uint32_t{at[3]} << 24;
}

}  // namespace

Md5::Md5() : m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::Compress(const std::uint8_t* block64) {
  std::uint32_t words[16];
  for (int i = 0; i < 16; ++i) words[i] = LoadLe32(block64 + 4 * i);
  std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
  // Unrolled, every branch below is decided at compile time.
#pragma GCC unroll 64
  for (int i = 0; i < 64; ++i) {
    std::uint32_t mixed;
    int word;
    if (i < 16) {
      mixed = d ^ (b & (c ^ d));  // (b & c) | (~b & d)
      word = i;
    } else if (i < 32) {
      mixed = c ^ (d & (b ^ c));  // (d & b) | (~d & c)
      word = (5 * i + 1) % 16;
    } else if (i < 48) {
      mixed = b ^ c ^ d;
      word = (3 * i + 5) % 16;
    } else {
      mixed = c ^ (b | ~d);
      word = (7 * i) % 16;
    }
    const std::uint32_t rotated =
        std::rotl(a + mixed + kMd5Sine[i] + words[word], kMd5Shift[i / 16][i % 4]);
    a = d;
    d = c;
    c = b;
    b += rotated;
  }
  m_state[0] += a;
  m_state[1] += b;
  m_state[2] += c;
  m_state[3] += d;
}

void Md5::Update(const std::uint8_t* data, std::size_t bytes) {
  m_totalBytes += bytes;
  if (m_pendingBytes > 0) {
    const std::size_t taken = std::min(bytes, m_pending.size() - m_pendingBytes);
    std::memcpy(m_pending.data() + m_pendingBytes, data, taken);
    m_pendingBytes += taken;
    data += taken;
    bytes -= taken;
    if (m_pendingBytes < m_pending.size()) return;
    Compress(m_pending.data());
    m_pendingBytes = 0;
  }
  for (; bytes >= 64; data += 64, bytes -= 64) Compress(data);
  std::memcpy(m_pending.data(), data, bytes);
  m_pendingBytes = bytes;
}

std::array<std::uint8_t, 16> Md5::Finish() {
  // A one bit, zeros to 56 bytes modulo 64, then the message length in bits.
  const std::uint64_t bits = m_totalBytes * 8;
  std::uint8_t tail[72] = {0x80};
  const std::size_t zeros = (m_pendingBytes < 56 ? 56 : 120) - m_pendingBytes;
  for (int i = 0; i < 8; ++i) tail[zeros + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  Update(tail, zeros + 8);
  std::array<std::uint8_t, 16> digest{};
  for (int i = 0; i < 16; ++i) {
    digest[i] = static_cast<std::uint8_t>(m_state[i / 4] >> (8 * (i % 4)));
  }
  return digest;
}

}  // namespace tavrin::exporter
