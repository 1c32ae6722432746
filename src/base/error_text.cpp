#include "base/error_text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tavrin::base {

std::string NoSpaceText(const std::string& mountPoint) {
  return "There is no space on drive " + mountPoint;
}

std::string FileErrorText(const std::string& mountPoint, int error) {
  return error == ENOSPC || error == EDQUOT ? NoSpaceText(mountPoint)
                                            : std::string(std::strerror(error));
}

std::string MountPointOf(const std::string& path) {
  std::error_code code;
  namespace fs = std::filesystem;
  fs::path current = fs::weakly_canonical(fs::absolute(path, code), code);
  struct stat start {};
  if (::stat(current.c_str(), &start) != 0) return current.string();
  // Walk up until the parent lies on another device (or the root is reached).
  while (current.has_parent_path() && current != current.root_path()) {
    struct stat parent {};
    if (::stat(current.parent_path().c_str(), &parent) != 0 || parent.st_dev != start.st_dev) break;
    current = current.parent_path();
  }
  return current.string();
}

}  // namespace tavrin::base
