#pragma once
// Header fields that state less audio than a file holds, and would cut an
// opening short without a word: libsndfile (and libFLAC) stop where the
// header says. The file is read through a view that shows such a field as
// "not given", so that all the audio that decodes opens.

#include <sndfile.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrin::decode {

struct HeaderPatch {
  std::int64_t At = 0;  // byte of the file the patch starts at
  std::array<std::uint8_t, 5> Bytes{};
  std::size_t Count = 0;        // 0: the file is read as it is
  sf_count_t StatedFrames = 0;  // the length the patched field gave, when it gave one
};

// Looks at the header of the file open on `fd` (its position unchanged):
//   FLAC: the total samples of STREAMINFO, given, become "unknown" (0); the
//     length they gave is kept in StatedFrames, to tell a file cut short;
//   AIFF: an SSND sound-data offset that skips bytes the COMM chunk's frame
//     count needs (COMM frames fill the SSND chunk exactly without it) becomes 0.
HeaderPatch PatchFor(int fd, std::int64_t fileBytes);

// The file on `fd` as libsndfile sees it with `patch` laid over its bytes;
// both must outlive the SNDFILE opened on it.
class PatchedFile {
public:
  PatchedFile(int fd, std::int64_t fileBytes, const HeaderPatch& patch);
  PatchedFile(const PatchedFile&) = delete;
  PatchedFile& operator=(const PatchedFile&) = delete;

  // sf_open_virtual() over the view, from the file's start.
  SNDFILE* Open(SF_INFO& format);

private:
  static sf_count_t Length(void* self);
  static sf_count_t Seek(sf_count_t offset, int whence, void* self);
  static sf_count_t Read(void* bytes, sf_count_t count, void* self);
  static sf_count_t Write(const void* bytes, sf_count_t count, void* self);
  static sf_count_t Tell(void* self);

  int m_fd;
  std::int64_t m_fileBytes;
  std::int64_t m_position;  // kept here: no system call to ask for it at every read
  const HeaderPatch& m_patch;
  SF_VIRTUAL_IO m_io{};
};

}  // namespace tavrin::decode
