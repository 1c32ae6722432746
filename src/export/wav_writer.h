#pragma once
// The WAV writer: reads a range of document blocks through the edit list,
// converts each 0.1 s block on its own by plain sample picking (no filtering,
// no dither) and writes a PCM file with a 44-byte header in front.
// User-interface thread only: it lets pending messages run after every block.

#include <array>
#include <cstddef>
#include <cstdint>

#include "export/save_job.h"
#include "settings/settings.h"

namespace tavrin::exporter {

struct WavFormat {
  std::int32_t SamplePerSecond;  // 44100, 22050 or 11025
  std::uint16_t BitPerSample;    // 16 or 8
  std::uint16_t Channels;        // 2 or 1
};

// The format actually written, so that the header never disagrees with the
// data: an unknown rate becomes 44100, an unknown width 16 bit and an unknown
// channel count 2, each on its own. The FLAC writer converts by the same rules.
WavFormat EffectivePcmFormat(std::int32_t rate, std::uint16_t bits, std::uint16_t channels);
WavFormat EffectiveWavFormat(const settings::Settings& settings);

// Bytes of converted output per 17640-byte source block; 0 for a format
// outside the twelve that EffectiveWavFormat gives.
std::int32_t OutputBlockBytes(const WavFormat& format);

// Frames of `format` made from the first `sourceFrames` (0..4410) of a block:
// those picked from its sound. A whole block makes OutputBlockBytes' frames.
std::size_t OutputFrames(const WavFormat& format, std::uint32_t sourceFrames);

// Converts the first `sourceFrames` of one source block (4410 frames of
// 16-bit stereo) into `out`, which must hold OutputBlockBytes(format) bytes.
// Returns the bytes written: OutputBlockBytes(format) for a whole block.
std::size_t ConvertBlock(const WavFormat& format, const std::uint8_t* in17640, std::uint8_t* out,
                         std::uint32_t sourceFrames = capture::kFramesPerBuffer);

// Frames of `format` that the job's range makes, the take's padding left out.
std::uint64_t RangeOutputFrames(const ExportContext& context, const WavFormat& format);

// The RIFF sizes saturate at 0xFFFFFFFF rather than wrap.
std::array<std::uint8_t, 44> BuildWavHeader(const WavFormat& format, std::uint32_t dataBytes);

// Whole seconds of the range only: ((SaveLast - SaveFirst) div 10) x rate x
// channels x (bits div 8) + 44, with the effective format.
std::int64_t EstimateWavSize(const SaveJob& job, const settings::Settings& settings);

// An estimate at or above this cannot be described by a WAV header.
inline constexpr std::int64_t kWavSizeLimit = 4294967295;

// Writes blocks Job.SaveFirst..Job.SaveLast of the document's CurrentLevel to
// Job.OutputPath, replacing any file there. Updates Job.OperationProgress and
// lets the user channel pump events after every block; stops after the block being written
// once Job.SaveActive is cleared, and then deletes the file (Cancelled). On an
// error creating, writing or closing the file or reading a source it shows the
// system's error text, deletes the partial file and returns Failed.
WriteResult WriteWav(ExportContext& context);

}  // namespace tavrin::exporter
