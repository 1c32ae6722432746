#include "base/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tavrin::base {

int File::Create(const std::string& path) {
  Close();
  m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return m_fd < 0 ? errno : 0;
}

int File::CreateForWriting(const std::string& path) {
  Close();
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return m_fd < 0 ? errno : 0;
}

int File::OpenExisting(const std::string& path) {
  Close();
  m_fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  return m_fd < 0 ? errno : 0;
}

void File::Adopt(int fd) {
  Close();
  m_fd = fd;
}

int File::Close() {
  if (m_fd < 0) return 0;
  const int result = ::close(m_fd);
  m_fd = -1;
  return result != 0 ? errno : 0;
}

int WriteAll(int fd, const void* data, std::size_t bytes, std::int64_t position) {
  const char* cursor = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t written =
        position < 0 ? ::write(fd, cursor, bytes) : ::pwrite(fd, cursor, bytes, position);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return ENOSPC;
    cursor += written;
    bytes -= static_cast<std::size_t>(written);
    if (position >= 0) position += written;
  }
  return 0;
}

int File::Write(const void* data, std::size_t bytes) {
  return m_fd < 0 ? EBADF : WriteAll(m_fd, data, bytes);
}

int File::WriteAt(std::int64_t position, const void* data, std::size_t bytes) {
  return m_fd < 0 ? EBADF : WriteAll(m_fd, data, bytes, position);
}

int File::CopyFrom(const File& source, std::int64_t sourcePosition, std::int64_t position,
                   std::int64_t bytes) {
  if (m_fd < 0 || source.m_fd < 0) return EBADF;
  while (bytes > 0) {
    loff_t from = sourcePosition;
    loff_t to = position;
    const ssize_t copied =
        ::copy_file_range(source.m_fd, &from, m_fd, &to, static_cast<std::size_t>(bytes), 0);
    if (copied < 0 && errno == EINTR) continue;
    if (copied < 0 && errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP && errno != ENOSYS &&
        errno != EBADF) {
      return errno;
    }
    if (copied < 0) break;  // not between these files: copy through memory below
    if (copied == 0) return EIO;
    sourcePosition += copied;
    position += copied;
    bytes -= copied;
  }
  char chunk[65536];
  while (bytes > 0) {
    const auto size = static_cast<std::size_t>(std::min<std::int64_t>(bytes, sizeof chunk));
    if (const int error = source.ReadAt(sourcePosition, chunk, size)) return error;
    if (const int error = WriteAt(position, chunk, size)) return error;
    sourcePosition += static_cast<std::int64_t>(size);
    position += static_cast<std::int64_t>(size);
    bytes -= static_cast<std::int64_t>(size);
  }
  return 0;
}

int File::Seek(std::int64_t position) {
  if (m_fd < 0) return EBADF;
  return ::lseek(m_fd, position, SEEK_SET) < 0 ? errno : 0;
}

std::int64_t File::Position() const {
  return m_fd < 0 ? 0 : static_cast<std::int64_t>(::lseek(m_fd, 0, SEEK_CUR));
}

std::int64_t File::Size() const {
  struct stat info {};
  if (m_fd < 0 || ::fstat(m_fd, &info) != 0) return 0;
  return static_cast<std::int64_t>(info.st_size);
}

int File::Truncate(std::int64_t size) {
  if (m_fd < 0) return EBADF;
  return ::ftruncate(m_fd, size) != 0 ? errno : 0;
}

int File::ReadAt(std::int64_t position, void* data, std::size_t bytes) const {
  if (m_fd < 0) return EBADF;
  char* cursor = static_cast<char*>(data);
  while (bytes > 0) {
    const ssize_t got = ::pread(m_fd, cursor, bytes, position);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return EIO;
    cursor += got;
    bytes -= static_cast<std::size_t>(got);
    position += got;
  }
  return 0;
}

}  // namespace tavrin::base
