#include "decode/header_patch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavrin::decode {

namespace {

bool ReadAt(int fd, std::int64_t at, std::uint8_t* bytes, std::size_t count) {
  return ::pread(fd, bytes, count, at) == static_cast<ssize_t>(count);
}

std::uint32_t Big(const std::uint8_t* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
  return value;
}

bool Is(const std::uint8_t* bytes, const char* tag) {
  return std::memcmp(bytes, tag, 4) == 0;
}

// STREAMINFO is always the first block: "fLaC", the block's header, then the
// total samples in the 36 bits that end at byte 26.
HeaderPatch FlacPatch(int fd) {
  HeaderPatch patch;
  std::array<std::uint8_t, 26> head{};
  if (!ReadAt(fd, 0, head.data(), head.size()) || (head[4] & 0x7F) != 0) return patch;
  const std::uint64_t total = (std::uint64_t{head[21] & 0x0Fu} << 32) | Big(&head[22], 4);
  if (total == 0) return patch;  // not given: libsndfile reads to the end already
  patch.At = 21;
  patch.Bytes = {static_cast<std::uint8_t>(head[21] & 0xF0), 0, 0, 0, 0};
  patch.Count = 5;
  patch.StatedFrames = static_cast<sf_count_t>(total);
  return patch;
}

// The offset is there to align the sound data to blocks; one that the frame
// count and the chunk's size both deny is the field in error.
HeaderPatch AiffPatch(int fd, std::int64_t fileBytes) {
  HeaderPatch patch;
  std::uint64_t frames = 0;
  std::uint64_t frameBytes = 0;
  std::int64_t sound = -1;
  std::uint32_t soundBytes = 0;
  std::uint32_t offset = 0;
  // Chunks after the 12 bytes of FORM; every step moves on at least 8 bytes.
  for (std::int64_t at = 12; at + 16 <= fileBytes && (frameBytes == 0 || sound < 0);) {
    std::array<std::uint8_t, 16> chunk{};
    if (!ReadAt(fd, at, chunk.data(), chunk.size())) break;
    const std::uint32_t size = Big(&chunk[4], 4);
    if (Is(chunk.data(), "COMM")) {
      frames = Big(&chunk[10], 4);
      frameBytes = std::uint64_t{Big(&chunk[8], 2)} * ((Big(&chunk[14], 2) + 7) / 8);
    } else if (Is(chunk.data(), "SSND")) {
      sound = at;
      soundBytes = size;
      offset = Big(&chunk[8], 4);
    }
    at += 8 + std::int64_t{size} + (size & 1);
  }
  if (sound < 0 || offset == 0 || frameBytes == 0 || soundBytes < 8 ||
      frames * frameBytes != soundBytes - 8) {
    return patch;
  }
  patch.At = sound + 8;
  patch.Count = 4;
  return patch;
}

}  // namespace

HeaderPatch PatchFor(int fd, std::int64_t fileBytes) {
  std::array<std::uint8_t, 12> head{};
  if (!ReadAt(fd, 0, head.data(), head.size())) return {};
  if (Is(head.data(), "fLaC")) return FlacPatch(fd);
  if (Is(head.data(), "FORM") && (Is(&head[8], "AIFF") || Is(&head[8], "AIFC"))) {
    return AiffPatch(fd, fileBytes);
  }
  return {};
}

PatchedFile::PatchedFile(int fd, std::int64_t fileBytes, const HeaderPatch& patch)
    : m_fd(fd),
      m_fileBytes(fileBytes),
      m_position(std::max<std::int64_t>(::lseek(fd, 0, SEEK_CUR), 0)),
      m_patch(patch),
      m_io{Length, Seek, Read, Write, Tell} {}

SNDFILE* PatchedFile::Open(SF_INFO& format) {
  // Always through our own reads: sf_open_fd closes the descriptor when it
  // refuses the file, though told not to, and another decoder may try it next.
  return sf_open_virtual(&m_io, SFM_READ, &format, this);
}

sf_count_t PatchedFile::Length(void* self) {
  return static_cast<PatchedFile*>(self)->m_fileBytes;
}

sf_count_t PatchedFile::Seek(sf_count_t offset, int whence, void* self) {
  auto& file = *static_cast<PatchedFile*>(self);
  const off_t at = ::lseek(file.m_fd, offset, whence);
  if (at >= 0) file.m_position = at;
  return at;
}

sf_count_t PatchedFile::Read(void* bytes, sf_count_t count, void* self) {
  auto& file = *static_cast<PatchedFile*>(self);
  const std::int64_t at = file.m_position;
  ssize_t got = 0;
  do {
    got = ::read(file.m_fd, bytes, static_cast<std::size_t>(count));
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return 0;
  file.m_position += got;
  auto* read = static_cast<std::uint8_t*>(bytes);
  for (std::size_t i = 0; i < file.m_patch.Count; ++i) {
    const std::int64_t where = file.m_patch.At + static_cast<std::int64_t>(i) - at;
    if (where >= 0 && where < got) read[where] = file.m_patch.Bytes[i];
  }
  return got;
}

sf_count_t PatchedFile::Write(const void* /*bytes*/, sf_count_t /*count*/, void* /*self*/) {
  return 0;  // opened for reading only
}

sf_count_t PatchedFile::Tell(void* self) {
  return static_cast<PatchedFile*>(self)->m_position;
}

}  // namespace tavrin::decode
