#pragma once
// A real file system of a few dozen KB for the disk-full paths: a tmpfs mounted
// on a private folder. Mounting takes root (CAP_SYS_ADMIN); elsewhere Mounted()
// is false and the test falls back to /dev/full or skips.

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrin::testing {

class SmallFileSystem {
public:
  SmallFileSystem(const std::filesystem::path& folder, int kilobytes) : m_path(folder) {
    std::error_code ignored;
    std::filesystem::create_directories(m_path, ignored);
    const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
    m_mounted =
        ::mount("tmpfs", m_path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool Mounted() const { return m_mounted; }
  const std::filesystem::path& Path() const { return m_path; }

  // Takes every free block, so that the next block any file needs is refused.
  // Returns the errno that ended the filling (ENOSPC when all went well).
  int Fill() const {
    const int fd =
        ::open((m_path / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    const std::vector<char> block(4096, 'f');
    int error = 0;
    while (error == 0) {
      if (::write(fd, block.data(), block.size()) < 0) error = errno;
    }
    ::close(fd);
    return error;
  }

private:
  std::filesystem::path m_path;
  bool m_mounted = false;
};

}  // namespace tavrin::testing
