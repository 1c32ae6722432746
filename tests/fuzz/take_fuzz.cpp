// A raw take of any length and contents, finished and opened at level 0 as the
// editor opens it: the one document reader hands out every whole buffer of the
// file exactly once, oldest first, and positions outside the take are refused.

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "capture/raw_take.h"
#include "capture/recorder_state.h"
#include "document/chunked_io.h"
#include "document/edit_document.h"
#include "document/peaks.h"
#include "fuzz_support.h"

namespace {

using tavrin::capture::kBufferBytes;

struct Rig {
  tavrin::capture::RecorderState State;
  tavrin::document::EditDocument Document;
  Rig() { State.AllocateCaptureMemory(); }
};

Rig& TheRig() {
  static Rig* rig = new Rig;
  return *rig;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  // Byte 0: the take wrapped round a loop; bytes 1..4: where the last write
  // ended, taken modulo the take's length + 1; the rest: the take file.
  const bool wrapped = (data[0] & 1) != 0;
  const std::uint32_t stoppedAt = tavrin::fuzz::Le32(data + 1);
  const std::uint8_t* take = data + 5;
  const std::size_t takeBytes = size - 5;

  Rig& rig = TheRig();
  const std::string path = tavrin::fuzz::Scratch().File("Tavrin.raw");
  tavrin::fuzz::WriteFile(path, take, takeBytes);
  FUZZ_CHECK(rig.State.Take.RawStream.OpenExisting(path) == 0);

  const auto length = static_cast<std::uint32_t>(takeBytes / kBufferBytes);
  rig.State.LoopWrapped = wrapped;
  tavrin::capture::FinishTake(rig.State, stoppedAt % (length + 1));
  FUZZ_CHECK(rig.State.Take.TakeLength == length);
  tavrin::document::BuildLevelZero(rig.Document, rig.State.Take);

  // Oldest first: after a wrap, the buffers after the last one written.
  const std::uint32_t recorded = rig.State.RecordedBuffers;
  std::vector<std::uint32_t> order;
  if (wrapped && recorded < length) {
    for (std::uint32_t b = recorded + 1; b <= length; ++b) order.push_back(b);
  }
  for (std::uint32_t b = 1; b <= (wrapped && recorded < length ? recorded : length); ++b) {
    order.push_back(b);
  }

  tavrin::document::DocumentReader reader(rig.Document, rig.State.Take, 1, length);
  const std::uint8_t* buffer = nullptr;
  std::uint32_t position = 0;
  std::uint32_t handed = 0;
  while (reader.Next(buffer, position)) {
    FUZZ_CHECK(handed < order.size() && position == handed + 1);
    const std::size_t at = std::size_t{order[handed] - 1} * kBufferBytes;
    FUZZ_CHECK(std::memcmp(buffer, take + at, kBufferBytes) == 0);
    tavrin::document::MeasurePeaks(buffer, tavrin::capture::kFramesPerBuffer);
    ++handed;
  }
  FUZZ_CHECK(reader.Error() == 0 && handed == length);

  std::vector<std::uint8_t> out(kBufferBytes);
  FUZZ_CHECK(tavrin::document::ReadBuffer(rig.Document, rig.State.Take, 0, out.data()) != 0);
  FUZZ_CHECK(tavrin::document::ReadBuffer(rig.Document, rig.State.Take, length + 1, out.data()) !=
             0);
  if (length > 0) {
    FUZZ_CHECK(tavrin::document::ReadBuffer(rig.Document, rig.State.Take, length, out.data()) == 0);
    FUZZ_CHECK(std::memcmp(out.data(), take + std::size_t{order.back() - 1} * kBufferBytes,
                           kBufferBytes) == 0);
  }
  rig.State.Take.RawStream.Close();
  return 0;
}
