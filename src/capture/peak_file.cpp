#include "capture/peak_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "document/take.h"

namespace tavrin::capture {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void PutLe16(std::uint8_t* out, std::int16_t value) {
  const auto bits = static_cast<std::uint16_t>(value);
  out[0] = static_cast<std::uint8_t>(bits & 0xFF);
  out[1] = static_cast<std::uint8_t>(bits >> 8);
}

std::int16_t GetLe16(const std::uint8_t* in) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(in[0] | (in[1] << 8)));
}

// The file's bytes for buffers first..first+count-1 (within the tables).
std::vector<std::uint8_t> PeakBytes(const document::PeakTable& table, std::uint32_t first,
                                    std::uint32_t count) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * 8);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t k = first + i;
    std::uint8_t* out = bytes.data() + static_cast<std::size_t>(i) * 8;
    const document::BufferPeaks peaks = k < table.size() ? table[k] : document::BufferPeaks{};
    PutLe16(out, peaks.MaxLeft);
    PutLe16(out + 2, peaks.MinLeft);
    PutLe16(out + 4, peaks.MaxRight);
    PutLe16(out + 6, peaks.MinRight);
  }
  return bytes;
}

}  // namespace

bool PeakFileFits(std::int64_t fileBytes, std::uint32_t takeLength) {
  return fileBytes >= 0 && (fileBytes / 2) / 4 == static_cast<std::int64_t>(takeLength);
}

int WritePeakFile(const document::PeakTable& peaks, const std::string& path,
                  std::uint32_t takeLength) {
  const std::uint32_t buffers = std::min(takeLength, document::kPeakTableEntries - 1);
  base::File file;
  if (const int error = file.Create(path); error != 0) return error;
  const std::vector<std::uint8_t> bytes = PeakBytes(peaks, 1, buffers);
  return file.Write(bytes.data(), bytes.size());
}

int WritePeakRange(base::File& file, const document::PeakTable& peaks, std::uint32_t first,
                   std::uint32_t count) {
  if (first == 0 || first >= document::kPeakTableEntries) return EINVAL;
  count = std::min(count, document::kPeakTableEntries - first);
  const std::vector<std::uint8_t> bytes = PeakBytes(peaks, first, count);
  return file.WriteAt(static_cast<std::int64_t>(first - 1) * 8, bytes.data(), bytes.size());
}

bool ReadPeakFile(document::PeakTable& peaks, const std::string& path, std::uint32_t takeLength) {
  std::error_code code;
  const auto size = std::filesystem::file_size(path, code);
  if (code || !PeakFileFits(static_cast<std::int64_t>(size), takeLength)) return false;
  if (takeLength >= document::kPeakTableEntries || takeLength >= peaks.size()) return false;
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(takeLength) * 8);
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
  for (std::uint32_t k = 1; k <= takeLength; ++k) {
    const std::uint8_t* in = bytes.data() + static_cast<std::size_t>(k - 1) * 8;
    peaks[k] = {GetLe16(in), GetLe16(in + 2), GetLe16(in + 4), GetLe16(in + 6)};
  }
  return true;
}

}  // namespace tavrin::capture
