#pragma once
// A file on a plain descriptor, so that every write failure comes back with
// its errno instead of being swallowed by a buffer: the raw take, the work
// files, the peak files, the settings file and every file a writer saves.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrin::base {

// Writes all of `bytes` to `fd`, at `position`, or at the file's current
// position when `position` is negative. Returns 0 or errno (ENOSPC when the
// file takes nothing more).
int WriteAll(int fd, const void* data, std::size_t bytes, std::int64_t position = -1);

class File {
public:
  File() = default;
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  // The descriptor moves with the value; the one moved from holds none.
  File(File&& other) noexcept : m_fd(other.Release()) {}
  File& operator=(File&& other) noexcept {
    if (this != &other) Adopt(other.Release());
    return *this;
  }

  // Creates (or truncates) the file for reading and writing. Returns 0 or errno.
  int Create(const std::string& path);
  // Creates (or truncates) a file that is only written, such as a saved file
  // (which may be a write-only special file). Returns 0 or errno.
  int CreateForWriting(const std::string& path);
  // Opens an existing file for reading and writing. Returns 0 or errno.
  int OpenExisting(const std::string& path);
  // Takes over an already open descriptor (tests use it for special files).
  void Adopt(int fd);
  // Gives up the descriptor without closing it (another stream adopts it).
  int Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }
  // Returns 0 or the errno of a failed close (data the system could not write).
  int Close();
  bool IsOpen() const { return m_fd >= 0; }

  // Writes all of `bytes` at the current position. Returns 0 or errno; after a
  // failure the bytes that did reach the file stay there.
  int Write(const void* data, std::size_t bytes);
  // Writes all of `bytes` at `position` without moving the stream.
  int WriteAt(std::int64_t position, const void* data, std::size_t bytes);
  // Copies `bytes` of `source` at `sourcePosition` to `position` of this file,
  // inside the kernel where it can. Returns 0, errno, or EIO when the source ends first.
  int CopyFrom(const File& source, std::int64_t sourcePosition, std::int64_t position,
               std::int64_t bytes);
  int Seek(std::int64_t position);
  std::int64_t Position() const;
  std::int64_t Size() const;
  int Truncate(std::int64_t size);
  // Reads `bytes` at `position` without moving the stream. Returns 0, errno, or
  // EIO when the file ends first.
  int ReadAt(std::int64_t position, void* data, std::size_t bytes) const;
  int Descriptor() const { return m_fd; }

private:
  int m_fd = -1;
};

}  // namespace tavrin::base
