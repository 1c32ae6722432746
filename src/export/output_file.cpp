#include "export/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "base/error_text.h"
#include "base/file.h"
#include "capture/work_files.h"

namespace tavrin::exporter {

namespace {

// Whether `path` names the open file `fd` (through any link).
bool IsSameFile(const std::string& path, int fd) {
  struct stat target {};
  struct stat source {};
  return fd >= 0 && ::stat(path.c_str(), &target) == 0 && ::fstat(fd, &source) == 0 &&
         target.st_dev == source.st_dev && target.st_ino == source.st_ino;
}

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

int OutputFile::Create(const std::string& path, const ExportContext& context) {
  if (IsSameFile(path, context.State.Take.RawStream.Descriptor()) ||
      IsSameFile(path, context.Document.EditStream.Descriptor())) {
    return EBUSY;
  }
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
    // A link is followed: the file it names is replaced, the link stays.
    const std::filesystem::path target =
        exists ? std::filesystem::canonical(path, code) : std::filesystem::path(path);
    if (code) return code.value();
    m_path = target.string();
    const int fd = CreateBeside(target, m_written);
    if (fd < 0) return errno;
    m_file.Adopt(fd);
    m_replacing = exists;
    // The replacement keeps the permissions of the file it replaces.
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

int OutputFile::Append(const void* data, std::size_t bytes) {
  const int error = m_file.Write(data, bytes);
  if (error == 0) m_length += bytes;
  return error;
}

int OutputFile::WriteAt(std::int64_t position, const void* data, std::size_t bytes) {
  return m_file.WriteAt(position, data, bytes);
}

int OutputFile::Finish() {
  // The file replaced is the user's: its replacement must be on the disk
  // before the name moves, or a crash could leave neither.
  if (m_replacing && m_file.IsOpen() && ::fsync(m_file.Descriptor()) != 0) return errno;
  if (const int error = m_file.Close(); error != 0) return error;
  if (m_written == m_path) return 0;
  if (std::rename(m_written.c_str(), m_path.c_str()) != 0) return errno;
  m_regular = false;  // it is the target now: never removed
  return 0;
}

void OutputFile::Remove() {
  if (!m_regular) return;
  m_file.Close();
  struct stat info {};
  if (::lstat(m_written.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_dev == m_device &&
      info.st_ino == m_inode) {
    ::unlink(m_written.c_str());
  }
  m_regular = false;
}

std::string OutputFile::ErrorText(int error) const {
  const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
  return base::FileErrorText(capture::MountPointOf(folder.empty() ? "." : folder.string()), error);
}

}  // namespace tavrin::exporter
