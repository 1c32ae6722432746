// The encoder library's entries over libmp3lame. Input is always 16-bit
// interleaved stereo; mono output is LAME's downmix of it. Streams may be used
// from different threads at once: each has a lock of its own.
#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>

#include "encoder/encoder_api.h"

namespace {

using namespace tavrin::encoder;

constexpr std::uint32_t kFramesPerChunk = 1152 * 8;  // eight MPEG-1 frames
constexpr std::uint32_t kChunkSamples = kFramesPerChunk * 2;
// LAME's worst case for n frames of input is 1.25 n + 7200 bytes.
constexpr std::uint32_t kOutputBufferBytes = kFramesPerChunk * 5 / 4 + 7200;
constexpr std::size_t kMaxStreams = 16;

constexpr std::array<std::uint32_t, 14> kMpeg1BitRates = {32,  40,  48,  56,  64,  80,  96,
                                                          112, 128, 160, 192, 224, 256, 320};
constexpr std::array<std::uint32_t, 14> kMpeg2BitRates = {8,  16, 24, 32,  40,  48,  56,
                                                          64, 80, 96, 112, 128, 144, 160};

struct Stream {
  lame_global_flags* Flags = nullptr;
  bool Flushed = false;
};

// A slot's lock guards its Stream: a call on one stream never waits for
// another stream's encoding.
std::array<std::mutex, kMaxStreams> g_slotLocks;
std::array<Stream, kMaxStreams> g_streams;
// Held while a stream is opened: LAME fills tables shared by every stream
// (with the same values each time) in lame_init_params.
std::mutex g_openLock;

// The slot of a handle, locked, or an unowned lock when the handle names no
// open stream. Handles are table index + 1, so 0 is never a valid handle.
std::unique_lock<std::mutex> LockStream(std::uint32_t handle, Stream*& found) {
  found = nullptr;
  if (handle == 0 || handle > kMaxStreams) return {};
  std::unique_lock lock(g_slotLocks[handle - 1]);
  if (!g_streams[handle - 1].Flags) return {};
  found = &g_streams[handle - 1];
  return lock;
}

bool IsLegalBitRate(std::uint32_t mpegVersion, std::uint32_t kbps) {
  const auto& rates = mpegVersion == kMpeg1 ? kMpeg1BitRates : kMpeg2BitRates;
  return std::find(rates.begin(), rates.end(), kbps) != rates.end();
}

bool IsLegalSampleRate(std::uint32_t hz) {
  constexpr std::array<std::uint32_t, 9> kRates = {8000,  11025, 12000, 16000, 22050,
                                                   24000, 32000, 44100, 48000};
  return std::find(kRates.begin(), kRates.end(), hz) != kRates.end();
}

// Applies the record to LAME's flags; false when a value cannot be honoured.
bool Configure(lame_global_flags* flags, const EncoderConfig& config) {
  if (config.MpegVersion != kMpeg1 && config.MpegVersion != kMpeg2) return false;
  if (!IsLegalSampleRate(config.SampleRate)) return false;
  if (config.ReSampleRate != 0 && !IsLegalSampleRate(config.ReSampleRate)) return false;
  if (config.Preset != -1) return false;

  MPEG_mode mode = STEREO;
  switch (config.Mode) {
  case kModeStereo: mode = STEREO; break;
  case kModeJointStereo: mode = JOINT_STEREO; break;
  case kModeDualChannel: mode = DUAL_CHANNEL; break;
  case kModeMono: mode = MONO; break;
  default: return false;
  }

  lame_set_in_samplerate(flags, static_cast<int>(config.SampleRate));
  lame_set_num_channels(flags, 2);
  lame_set_out_samplerate(flags, static_cast<int>(config.ReSampleRate));
  lame_set_mode(flags, mode);
  lame_set_emphasis(flags, static_cast<int>(config.Emphasis));
  lame_set_copyright(flags, config.Copyright != 0);
  lame_set_original(flags, config.Original != 0);
  lame_set_extension(flags, config.Private != 0);
  lame_set_error_protection(flags, config.Crc != 0);
  lame_set_strict_ISO(flags, config.StrictIso != 0);
  lame_set_disable_reservoir(flags, config.NoBitReservoir != 0);
  // The stream then starts with a placeholder frame that the caller overwrites
  // with beGetInfoFrame's frame once the stream is flushed.
  lame_set_bWriteVbrTag(flags, config.WriteVbrHeader != 0);

  const std::uint32_t qualityLow = config.QualityWord & 0xFF;
  const std::uint32_t qualityHigh = config.QualityWord >> 8;
  if (qualityHigh == (~qualityLow & 0xFF)) {
    lame_set_quality(flags, static_cast<int>(std::min<std::uint32_t>(qualityLow, 9)));
  }

  if (!IsLegalBitRate(config.MpegVersion, config.BitRate)) return false;
  if (config.EnableVbr != 0) {
    if (!IsLegalBitRate(config.MpegVersion, config.MaxBitRate)) return false;
    if (config.VbrQuality < 0 || config.VbrQuality > 9) return false;
    lame_set_VBR(flags, vbr_default);
    lame_set_VBR_q(flags, config.VbrQuality);
    lame_set_VBR_min_bitrate_kbps(flags, static_cast<int>(config.BitRate));
    lame_set_VBR_max_bitrate_kbps(flags, static_cast<int>(config.MaxBitRate));
  } else {
    lame_set_VBR(flags, vbr_off);
    lame_set_brate(flags, static_cast<int>(config.BitRate));
  }
  return true;
}

}  // namespace

extern "C" {

std::uint32_t beInitStream(EncoderConfig* config, std::uint32_t* chunkSamples,
                           std::uint32_t* outputBufferBytes, std::uint32_t* stream) {
  if (!config || !chunkSamples || !outputBufferBytes || !stream) {
    return kBeErrInvalidFormatParameters;
  }
  if (config->ConfigFormat != kConfigFormatExtended || config->RecordSize != kConfigRecordSize) {
    return kBeErrInvalidFormat;
  }
  std::lock_guard openLock(g_openLock);
  lame_global_flags* flags = lame_init();
  if (!flags) return kBeErrNoMoreHandles;
  if (!Configure(flags, *config) || lame_init_params(flags) < 0) {
    lame_close(flags);
    return kBeErrInvalidFormatParameters;
  }
  for (std::size_t i = 0; i < kMaxStreams; ++i) {
    std::lock_guard slotLock(g_slotLocks[i]);
    if (!g_streams[i].Flags) {
      g_streams[i] = Stream{flags, false};
      *chunkSamples = kChunkSamples;
      *outputBufferBytes = kOutputBufferBytes;
      *stream = static_cast<std::uint32_t>(i + 1);
      return kBeErrSuccessful;
    }
  }
  lame_close(flags);
  return kBeErrNoMoreHandles;
}

std::uint32_t beEncodeChunk(std::uint32_t stream, std::uint32_t samples, const std::int16_t* input,
                            std::uint8_t* output, std::uint32_t* outputBytes) {
  if (outputBytes) *outputBytes = 0;
  Stream* found = nullptr;
  const auto lock = LockStream(stream, found);
  if (!found || found->Flushed) return kBeErrInvalidHandle;
  if (!outputBytes || !output || (samples > 0 && !input)) return kBeErrInvalidFormatParameters;
  // More than a chunk could overrun the output buffer; an odd count splits a frame.
  if (samples > kChunkSamples) return kBeErrBufferTooSmall;
  if (samples % 2 != 0) return kBeErrInvalidFormatParameters;
  // LAME reads the input only; its prototype lacks the const.
  const int produced = lame_encode_buffer_interleaved(found->Flags, const_cast<short*>(input),
                                                      static_cast<int>(samples / 2), output,
                                                      static_cast<int>(kOutputBufferBytes));
  if (produced < 0) return kBeErrInvalidFormatParameters;
  *outputBytes = static_cast<std::uint32_t>(produced);
  return kBeErrSuccessful;
}

std::uint32_t beDeinitStream(std::uint32_t stream, std::uint8_t* output,
                             std::uint32_t* outputBytes) {
  if (outputBytes) *outputBytes = 0;
  Stream* found = nullptr;
  const auto lock = LockStream(stream, found);
  if (!found) return kBeErrInvalidHandle;
  if (!outputBytes || !output) return kBeErrInvalidFormatParameters;
  if (found->Flushed) return kBeErrSuccessful;
  found->Flushed = true;
  const int produced =
      lame_encode_flush(found->Flags, output, static_cast<int>(kOutputBufferBytes));
  if (produced < 0) return kBeErrBufferTooSmall;
  *outputBytes = static_cast<std::uint32_t>(produced);
  return kBeErrSuccessful;
}

std::uint32_t beGetInfoFrame(std::uint32_t stream, std::uint8_t* output,
                             std::uint32_t* outputBytes) {
  if (outputBytes) *outputBytes = 0;
  Stream* found = nullptr;
  const auto lock = LockStream(stream, found);
  if (!found) return kBeErrInvalidHandle;
  if (!outputBytes || !output) return kBeErrInvalidFormatParameters;
  // Before the flush the counts would leave out the last frames.
  if (!found->Flushed) return kBeErrInvalidHandle;
  const std::size_t bytes = lame_get_lametag_frame(found->Flags, output, kOutputBufferBytes);
  if (bytes > kOutputBufferBytes) return kBeErrBufferTooSmall;
  *outputBytes = static_cast<std::uint32_t>(bytes);
  return kBeErrSuccessful;
}

std::uint32_t beCloseStream(std::uint32_t stream) {
  Stream* found = nullptr;
  const auto lock = LockStream(stream, found);
  if (!found) return kBeErrInvalidHandle;
  lame_close(found->Flags);
  *found = Stream{};
  return kBeErrSuccessful;
}

}  // extern "C"
