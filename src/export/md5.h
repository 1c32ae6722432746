#pragma once
// MD5 (RFC 1321), for the audio checksum a FLAC file carries in STREAMINFO
// when the audio is encoded in pieces and no single encoder sees all of it.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrin::exporter {

class Md5 {
public:
  Md5();
  // Adds `bytes` to the message; any split of the message gives the same digest.
  void Update(const std::uint8_t* data, std::size_t bytes);
  // The digest of everything added; the object is spent afterwards.
  std::array<std::uint8_t, 16> Finish();

private:
  void Compress(const std::uint8_t* block64);

  std::array<std::uint32_t, 4> m_state;
  std::array<std::uint8_t, 64> m_pending{};
  std::size_t m_pendingBytes = 0;
  std::uint64_t m_totalBytes = 0;
};

}  // namespace tavrin::exporter
