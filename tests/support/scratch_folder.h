#pragma once
// A test's own folder under the system's temporary folder,
// <temp>/tavrin-<name>-<pid>: made empty when the test starts and removed,
// with everything in it, when the test ends.

#include <unistd.h>

#include <filesystem>
#include <string>

namespace tavrin::testing {

class ScratchFolder {
public:
  explicit ScratchFolder(const std::string& name)
      : m_path(std::filesystem::temp_directory_path() /
               ("tavrin-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }

private:
  std::filesystem::path m_path;
};

}  // namespace tavrin::testing
