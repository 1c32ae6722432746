// The sound-file decoder on any file, with seeds in the containers the second
// decoder reads: a file opens into a take whose work file holds its whole
// buffers with their peaks, or is refused with a message and leaves the
// take it was given and no work file.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "decode/decode_to_take.h"
#include "document/take.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  const auto& scratch = tavrin::fuzz::Scratch();
  const std::string path = scratch.File("in.m4a");
  const std::string workPath = scratch.File("Open.raw");
  tavrin::fuzz::WriteFile(path, data, size);
  tavrin::decode::OpenJob job;
  tavrin::decode::OpenReport report;
  std::string message;
  tavrin::document::Take take;
  take.TakeLength = 7;
  const auto result = tavrin::decode::DecodeToTake(path, workPath, job, {}, take, report, message);
  FUZZ_CHECK(result != tavrin::decode::OpenResult::Cancelled);
  if (result == tavrin::decode::OpenResult::Failed) {
    FUZZ_CHECK(!message.empty());
    FUZZ_CHECK(take.TakeLength == 7 && take.RawPath.empty());
    FUZZ_CHECK(!fs::exists(workPath));
    return 0;
  }
  FUZZ_CHECK(take.TakeLength > 0 && take.RawPath == workPath);
  FUZZ_CHECK(fs::file_size(workPath) == std::uintmax_t{take.TakeLength} * 17640);
  std::vector<std::uint8_t> last(17640);
  FUZZ_CHECK(take.RawStream.ReadAt(std::int64_t{take.TakeLength - 1} * 17640, last.data(),
                                   last.size()) == 0);
  FUZZ_CHECK(tavrin::fuzz::SamePeaks(take.Peaks[take.TakeLength],
                                     tavrin::document::MeasurePeaks(last.data(), 4410)));
  static_cast<void>(take.RawStream.Close());
  fs::remove(workPath);
  return 0;
}
