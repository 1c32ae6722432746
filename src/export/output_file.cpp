#include "export/output_file.h"

#include <sys/stat.h>

#include <cerrno>
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
  if (IsSameFile(path, context.State.Take.RawStream.Descriptor()) ||
      IsSameFile(path, context.Document.EditStream.Descriptor())) {
    return EBUSY;
  }
  return ReplacingFile::Create(path);
}

std::string OutputFile::ErrorText(int error) const {
  const std::filesystem::path folder = std::filesystem::path(Target()).parent_path();
  return base::FileErrorText(base::MountPointOf(folder.empty() ? "." : folder.string()), error);
}

}  // namespace tavrin::exporter
