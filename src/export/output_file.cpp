#include "export/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

int OutputFile::Create(const std::string& path, const ExportContext& context) {
  if (IsSameFile(path, context.State.Take.RawStream.Descriptor()) ||
      IsSameFile(path, context.Document.EditStream.Descriptor())) {
    return EBUSY;
  }
  m_path = path;
  if (const int error = m_file.CreateForWriting(path); error != 0) return error;
  struct stat info {};
  if (::fstat(m_file.Descriptor(), &info) != 0) return errno;
  m_regular = S_ISREG(info.st_mode);
  m_device = info.st_dev;
  m_inode = info.st_ino;
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

void OutputFile::Remove() {
  if (!m_regular) return;
  struct stat info {};
  if (::lstat(m_path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_dev == m_device &&
      info.st_ino == m_inode) {
    ::unlink(m_path.c_str());
  }
  m_regular = false;
}

std::string OutputFile::ErrorText(int error) const {
  const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
  return base::FileErrorText(capture::MountPointOf(folder.empty() ? "." : folder.string()), error);
}

}  // namespace tavrin::exporter
