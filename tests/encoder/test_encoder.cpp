// The stand-in encoder library (see test_encoder.h).
#include "test_encoder.h"

#include <algorithm>
#include <cstring>

using tavrin::encoder::EncoderConfig;
using tavrin::encoder::testing::kFlushTrailer;
using tavrin::encoder::testing::TestEncoderControl;

namespace {

constexpr std::uint32_t kHandle = 7;

TestEncoderControl g_control;

std::uint32_t OutputBufferBytes() {
  return g_control.ChunkSamples * 2 + 16;
}

}  // namespace

extern "C" {

TAVRIN_ENCODER_EXPORT TestEncoderControl* TestEncoderControlBlock() {
  return &g_control;
}

std::uint32_t beInitStream(EncoderConfig* config, std::uint32_t* chunkSamples,
                           std::uint32_t* outputBufferBytes, std::uint32_t* stream) {
  g_control.Calls.push_back("init");
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(config);
  g_control.ConfigBytes.assign(bytes, bytes + tavrin::encoder::kConfigRecordSize);
  if (g_control.InitResult != 0) return g_control.InitResult;
  *chunkSamples = g_control.ChunkSamples;
  *outputBufferBytes = OutputBufferBytes();
  *stream = kHandle;
  return 0;
}

std::uint32_t beEncodeChunk(std::uint32_t stream, std::uint32_t samples, const std::int16_t* input,
                            std::uint8_t* output, std::uint32_t* outputBytes) {
  const int call = static_cast<int>(g_control.ChunkSampleCounts.size());
  g_control.Calls.push_back("encode");
  g_control.ChunkSampleCounts.push_back(samples);
  *outputBytes = 0;
  if (stream != kHandle) return tavrin::encoder::kBeErrInvalidHandle;
  if (samples > g_control.ChunkSamples) {
    ++g_control.OversizedChunks;
    return tavrin::encoder::kBeErrBufferTooSmall;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(input);
  g_control.Received.insert(g_control.Received.end(), bytes, bytes + samples * 2);
  if (call == g_control.FailEncodeAtCall) return g_control.EncodeFailure;
  std::memcpy(output, input, samples * 2);
  *outputBytes = samples * 2;
  return 0;
}

std::uint32_t beDeinitStream(std::uint32_t stream, std::uint8_t* output,
                             std::uint32_t* outputBytes) {
  g_control.Calls.push_back("deinit");
  if (stream != kHandle) return tavrin::encoder::kBeErrInvalidHandle;
  std::memcpy(output, kFlushTrailer, std::strlen(kFlushTrailer));
  *outputBytes = static_cast<std::uint32_t>(std::strlen(kFlushTrailer));
  return g_control.DeinitResult;
}

std::uint32_t beGetInfoFrame(std::uint32_t stream, std::uint8_t* output,
                             std::uint32_t* outputBytes) {
  *outputBytes = 0;
  if (stream != kHandle) return tavrin::encoder::kBeErrInvalidHandle;
  if (g_control.InfoResult != 0) return g_control.InfoResult;
  std::copy(g_control.InfoFrame.begin(), g_control.InfoFrame.end(), output);
  *outputBytes = static_cast<std::uint32_t>(g_control.InfoFrame.size());
  return 0;
}

std::uint32_t beCloseStream(std::uint32_t stream) {
  g_control.Calls.push_back("close");
  return stream == kHandle ? 0 : tavrin::encoder::kBeErrInvalidHandle;
}

}  // extern "C"
