#pragma once
// A stand-in encoder library for the MP3 writer's tests: it echoes every chunk
// it receives as its output, records the record and the calls (beGetInfoFrame
// not among them), and fails on request. The test reaches the control block through an extra entry.

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/encoder_api.h"

namespace tavrin::encoder::testing {

inline constexpr const char* kFlushTrailer = "FLUSH";

struct TestEncoderControl {
  // Set by the test before a save.
  std::uint32_t ChunkSamples = 3000;  // deliberately not a divisor of a 17640-byte buffer
  std::uint32_t InitResult = 0;
  std::uint32_t DeinitResult = 0;
  int FailEncodeAtCall = -1;  // 0-based encode call that returns EncodeFailure
  std::uint32_t EncodeFailure = 0;
  std::vector<std::uint8_t> InfoFrame;  // what beGetInfoFrame gives
  std::uint32_t InfoResult = 0;
  // Recorded by the library.
  std::vector<std::uint8_t> ConfigBytes;
  std::vector<std::string> Calls;  // "init", "encode", "deinit", "close"
  std::vector<std::uint32_t> ChunkSampleCounts;
  std::vector<std::uint8_t> Received;
  int OversizedChunks = 0;
};

using TestEncoderControlEntry = TestEncoderControl* (*)();
inline constexpr const char* kTestEncoderControlName = "TestEncoderControlBlock";

}  // namespace tavrin::encoder::testing
