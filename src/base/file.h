#pragma once
// A file on a plain descriptor, so that every write failure comes back with
// its errno instead of being swallowed by a buffer: the raw take, the work
// files, the peak files, the settings file and every file a writer saves.

#include <sys/types.h>

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

// A file that replaces whatever `path` names only once it is complete: a
// regular file (or a new one) is written as a temporary file beside it,
// ".tavrin-save-*", and put in its place by Finish, so a failure, a Cancel or
// a crash leaves the old file or the new one, never a cut one. The
// replacement keeps the old file's permissions; a link is followed and stays
// a link. A special file (/dev/full) is written directly and survives an
// error: only the regular file Create made is ever unlinked.
class ReplacingFile {
public:
  ~ReplacingFile() { Remove(); }

  // Prepares `path` for writing. Returns 0 or errno.
  int Create(const std::string& path);
  // Writes all of `bytes` at the end. Returns 0 or errno.
  int Append(const void* data, std::size_t bytes);
  // Writes all of `bytes` at `position` without moving the end. Returns 0 or errno.
  int WriteAt(std::int64_t position, const void* data, std::size_t bytes) {
    return m_file.WriteAt(position, data, bytes);
  }
  // Bytes appended since Create, which for the truncated file is its length.
  std::uint64_t Length() const { return m_length; }
  // Closes the file without putting it in place (a failed or cancelled write).
  int Close() { return m_file.Close(); }
  // Closes the written file and puts it in place of the target. Returns 0 or
  // errno; after a failure the caller removes what was written.
  int Finish();
  // Deletes the file written, if it is still the regular file Create made.
  void Remove();
  // The file replaced (a link's target), or the special file written.
  const std::string& Target() const { return m_path; }

private:
  std::string m_path;        // the target
  std::string m_written;     // what is written: a temporary file beside the target, or the target
  bool m_replacing = false;  // an existing file is replaced by the temporary one
  File m_file;
  bool m_regular = false;
  dev_t m_device = 0;
  ino_t m_inode = 0;
  std::uint64_t m_length = 0;
};

}  // namespace tavrin::base
