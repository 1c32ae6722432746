#include "export/output_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/error_text.h"

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
  m_wanted = path;
  // A pipe would hold the save (and the window) until someone reads it, a
  // device takes bytes that are no file: a sound is saved only as a plain file.
  struct stat existing {};
  m_notPlain = ::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode);
  if (m_notPlain) return S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
  if (IsSameFile(path, context.State.Take.RawStream.Descriptor()) ||
      IsSameFile(path, context.Document.EditStream.Descriptor())) {
    return EBUSY;
  }
  return ReplacingFile::Create(path);
}

std::string OutputFile::ErrorText(int error) const {
  const std::filesystem::path folder = std::filesystem::path(m_wanted).parent_path();
  const std::string drive = base::MountPointOf(folder.empty() ? "." : folder.string());
  // A full drive is named by the drive's own text; anything else names the file.
  if (error == ENOSPC || error == EDQUOT) return base::NoSpaceText(drive);
  if (error == EBUSY) return m_wanted + " is the sound being saved: choose another file.";
  if (m_notPlain) return m_wanted + " is not a plain file: choose another file.";
  return m_wanted + " could not be saved (" + std::strerror(error) + ").";
}

}  // namespace tavrin::exporter
