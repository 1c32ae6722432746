#pragma once
// What the fuzz harnesses share: the input as a file of a scratch folder that
// lives as long as the process (in memory where /dev/shm exists, so a run
// makes many thousands of files per second without touching the disk), and a
// check that stops the run with a message when a property does not hold.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/file.h"
#include "document/peaks.h"

namespace tavrin::fuzz {

class ScratchFolder {
public:
  ScratchFolder() {
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path base =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    m_path = base / ("tavrin-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_path);
  }
  ~ScratchFolder() {
    std::error_code ignored;  // best effort at exit
    std::filesystem::remove_all(m_path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string Path() const { return m_path.string(); }
  std::string File(const char* name) const { return (m_path / name).string(); }

private:
  std::filesystem::path m_path;
};

inline const ScratchFolder& Scratch() {
  static const ScratchFolder folder;
  return folder;
}

// Replaces the file at `path` with `bytes`.
inline void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  base::File file;
  if (file.Create(path) != 0 || file.Write(data, size) != 0) {
    std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
    std::abort();
  }
}

// Little-endian numbers as the program's files and the harnesses' parameters hold them.
inline std::int16_t Le16(const std::uint8_t* in) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(in[0] | (in[1] << 8)));
}
inline std::uint32_t Le32(const std::uint8_t* in) {
  return std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 | std::uint32_t{in[2]} << 16 |
         std::uint32_t{in[3]} << 24;
}

// A peak-file entry: the four extremes, each little-endian.
inline document::BufferPeaks PeaksFrom(const std::uint8_t* in) {
  return {Le16(in), Le16(in + 2), Le16(in + 4), Le16(in + 6)};
}
inline bool SamePeaks(const document::BufferPeaks& a, const document::BufferPeaks& b) {
  return a.MaxLeft == b.MaxLeft && a.MinLeft == b.MinLeft && a.MaxRight == b.MaxRight &&
         a.MinRight == b.MinRight;
}

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

}  // namespace tavrin::fuzz
