#include "base/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace tavrin::base {

namespace {

// Creates a new file beside `target` that no one else has, with the mode a
// new file gets (the umask applies). Returns the descriptor or -1 with errno.
int CreateBeside(const std::filesystem::path& target, std::string& created) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Independent of the target's name, so that a name near the limit still fits.
    created =
        (folder / (".tavrin-save-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
            .string();
    const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

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

int ReplacingFile::Create(const std::string& path) {
  m_path = path;
  m_written = path;
  m_replacing = false;
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    // A device or a pipe takes the bytes as they come: nothing to put in place.
    if (const int error = m_file.CreateForWriting(path); error != 0) return error;
  } else {
    std::error_code code;
    const std::filesystem::path target =
        exists ? std::filesystem::canonical(path, code) : std::filesystem::path(path);
    if (code) return code.value();
    m_path = target.string();
    const int fd = CreateBeside(target, m_written);
    if (fd < 0) return errno;
    m_file.Adopt(fd);
    m_replacing = exists;
    if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0) {
      const int error = errno;
      m_file.Close();
      ::unlink(m_written.c_str());
      return error;
    }
  }
  struct stat info {};
  if (::fstat(m_file.Descriptor(), &info) != 0) return errno;
  m_regular = S_ISREG(info.st_mode);
  m_device = info.st_dev;
  m_inode = info.st_ino;
  m_length = 0;
  return 0;
}

int ReplacingFile::Append(const void* data, std::size_t bytes) {
  const int error = m_file.Write(data, bytes);
  if (error == 0) m_length += bytes;
  return error;
}

int ReplacingFile::Finish() {
  // The file replaced is the user's: its replacement must be on the disk
  // before the name moves, or a crash could leave neither.
  if (m_replacing && m_file.IsOpen() && ::fsync(m_file.Descriptor()) != 0) return errno;
  if (const int error = m_file.Close(); error != 0) return error;
  if (m_written == m_path) return 0;
  if (std::rename(m_written.c_str(), m_path.c_str()) != 0) return errno;
  m_regular = false;  // it is the target now: never removed
  return 0;
}

void ReplacingFile::Remove() {
  if (!m_regular) return;
  m_file.Close();
  struct stat info {};
  if (::lstat(m_written.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_dev == m_device &&
      info.st_ino == m_inode) {
    ::unlink(m_written.c_str());
  }
  m_regular = false;
}

}  // namespace tavrin::base
