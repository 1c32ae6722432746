#include "export/wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "export/block_loop.h"
#include "export/output_file.h"

namespace tavrin::exporter {

namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kSourceFrameBytes = 4;  // 16-bit stereo
// Converted blocks are gathered here and written in one go; allocated once per save.
constexpr std::size_t kOutputBufferBytes = 2 * 1024 * 1024;

struct BlockRow {
  std::int32_t SamplePerSecond;
  std::uint16_t Channels;
  std::uint16_t BitPerSample;
  std::int32_t OutputBytes;
};

// At 11025 Hz the frame count is 1102 for 16-bit stereo and 8-bit mono but
// 1103 for the other two: kept as the files have always been written.
constexpr BlockRow kBlockTable[] = {
    {44100, 2, 16, 17640}, {44100, 1, 16, 8820}, {44100, 2, 8, 8820}, {44100, 1, 8, 4410},
    {22050, 2, 16, 8820},  {22050, 1, 16, 4410}, {22050, 2, 8, 4410}, {22050, 1, 8, 2205},
    {11025, 2, 16, 4408},  {11025, 1, 16, 2206}, {11025, 2, 8, 2206}, {11025, 1, 8, 1102},
};

template <int Step, int Channels, int Bytes>
void PickFrames(const std::uint8_t* in, std::uint8_t* out, std::size_t frames) {
  for (std::size_t j = 0; j < frames; ++j) {
    const std::uint8_t* frame = in + kSourceFrameBytes * Step * j;
    for (int channel = 0; channel < Channels; ++channel) {
      const std::uint8_t* sample = frame + 2 * channel;
      if constexpr (Bytes == 2) {
        *out++ = sample[0];
        *out++ = sample[1];
      } else {
        // The high byte minus 128, modulo 256: the top bit flipped.
        *out++ = static_cast<std::uint8_t>(sample[1] ^ 0x80);
      }
    }
  }
}

template <int Step>
void PickFrames(const WavFormat& format, const std::uint8_t* in, std::uint8_t* out,
                std::size_t frames) {
  const bool stereo = format.Channels == 2;
  if (format.BitPerSample == 16) {
    stereo ? PickFrames<Step, 2, 2>(in, out, frames) : PickFrames<Step, 1, 2>(in, out, frames);
  } else {
    stereo ? PickFrames<Step, 2, 1>(in, out, frames) : PickFrames<Step, 1, 1>(in, out, frames);
  }
}

void PutLe(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Saturated(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
}

}  // namespace

WavFormat EffectivePcmFormat(std::int32_t rate, std::uint16_t bits, std::uint16_t channels) {
  WavFormat format{44100, 16, 2};
  if (rate == 44100 || rate == 22050 || rate == 11025) format.SamplePerSecond = rate;
  if (bits == 8) format.BitPerSample = 8;
  if (channels == 1) format.Channels = 1;
  return format;
}

WavFormat EffectiveWavFormat(const settings::Settings& settings) {
  return EffectivePcmFormat(settings.SamplePerSecond, settings.BitPerSample, settings.Channels);
}

std::int32_t OutputBlockBytes(const WavFormat& format) {
  for (const BlockRow& row : kBlockTable) {
    if (row.SamplePerSecond == format.SamplePerSecond && row.Channels == format.Channels &&
        row.BitPerSample == format.BitPerSample) {
      return row.OutputBytes;
    }
  }
  return 0;
}

std::size_t OutputFrames(const WavFormat& format, std::uint32_t sourceFrames) {
  const std::int32_t outputBytes = OutputBlockBytes(format);
  if (outputBytes <= 0) return 0;
  const std::size_t blockFrames =
      static_cast<std::size_t>(outputBytes) / (format.Channels * (format.BitPerSample / 8u));
  const std::size_t step =
      capture::kSampleRate / static_cast<std::uint32_t>(format.SamplePerSecond);
  // The picks that fall on the sound, held to the table (1102 of 1103 for two formats at 11025 Hz).
  return std::min(blockFrames, (std::size_t{sourceFrames} + step - 1) / step);
}

std::size_t ConvertBlock(const WavFormat& format, const std::uint8_t* in17640, std::uint8_t* out,
                         std::uint32_t sourceFrames) {
  const std::size_t frames = OutputFrames(format, sourceFrames);
  if (frames == 0) return 0;
  // The take's own format is copied as it stands.
  if (format.SamplePerSecond == capture::kSampleRate &&
      format.Channels == platform::kFormatChannels &&
      format.BitPerSample == platform::kFormatBits) {
    std::memcpy(out, in17640, frames * kSourceFrameBytes);
    return frames * kSourceFrameBytes;
  }
  switch (format.SamplePerSecond) {
  case 44100: PickFrames<1>(format, in17640, out, frames); break;
  case 22050: PickFrames<2>(format, in17640, out, frames); break;
  default: PickFrames<4>(format, in17640, out, frames); break;
  }
  return frames * format.Channels * (format.BitPerSample / 8u);
}

std::uint64_t RangeOutputFrames(const ExportContext& context, const WavFormat& format) {
  const SaveJob& job = context.Job;
  const std::uint64_t blockFrames = OutputFrames(format, capture::kFramesPerBuffer);
  std::uint64_t frames = 0;
  // Only a run's last buffer may be part-filled.
  for (const document::DocumentRun& run :
       document::DocumentRuns(context.Document, job.SaveFirst, job.SaveLast)) {
    const std::uint64_t sound = document::RunFrames(context.State.Take, run);
    frames += sound / capture::kFramesPerBuffer * blockFrames +
              OutputFrames(format, static_cast<std::uint32_t>(sound % capture::kFramesPerBuffer));
  }
  return frames;
}

std::array<std::uint8_t, 44> BuildWavHeader(const WavFormat& format, std::uint32_t dataBytes) {
  std::array<std::uint8_t, 44> header{};
  std::uint8_t* at = header.data();
  const std::uint32_t channels = format.Channels & 0xFFu;
  const std::uint32_t bits = format.BitPerSample & 0xFFu;
  const auto rate = static_cast<std::uint32_t>(format.SamplePerSecond);
  std::memcpy(at, "RIFF", 4);
  PutLe(at + 4, Saturated(std::uint64_t{dataBytes} + 36), 4);
  std::memcpy(at + 8, "WAVEfmt ", 8);
  PutLe(at + 16, 16, 4);
  PutLe(at + 20, 1, 2);
  PutLe(at + 22, channels, 2);
  PutLe(at + 24, rate, 4);
  PutLe(at + 28, Saturated(std::uint64_t{rate} * bits * channels / 8), 4);
  PutLe(at + 32, (channels * bits / 8) & 0xFFu, 2);
  PutLe(at + 34, bits, 2);
  std::memcpy(at + 36, "data", 4);
  PutLe(at + 40, dataBytes, 4);
  return header;
}

std::int64_t EstimateWavSize(const SaveJob& job, const settings::Settings& settings) {
  const WavFormat format = EffectiveWavFormat(settings);
  const std::int64_t wholeSeconds =
      (static_cast<std::int64_t>(job.SaveLast) - static_cast<std::int64_t>(job.SaveFirst)) / 10;
  return wholeSeconds * format.SamplePerSecond * format.Channels * (format.BitPerSample / 8) +
         static_cast<std::int64_t>(kHeaderBytes);
}

WriteResult WriteWav(ExportContext& context) {
  SaveJob& job = context.Job;
  const WavFormat format = EffectiveWavFormat(context.Settings);
  const auto blockBytes = static_cast<std::size_t>(OutputBlockBytes(format));
  OutputFile file;

  auto fail = [&](int error) {
    file.Close();
    context.User.Warn(file.ErrorText(error));
    file.Remove();
    return WriteResult::Failed;
  };

  if (const int error = file.Create(job.OutputPath, context)) return fail(error);

  const auto output = std::make_unique_for_overwrite<std::uint8_t[]>(kOutputBufferBytes);
  // The header's place is reserved with zeros and filled in once the data is written.
  std::memset(output.get(), 0, kHeaderBytes);
  std::size_t filled = kHeaderBytes;
  const BlockLoopOutcome outcome =
      ForEachBlock(context, [&](const std::uint8_t* block, std::uint32_t frames) {
        if (filled + blockBytes > kOutputBufferBytes) {
          if (const int error = file.Append(output.get(), filled)) return error;
          filled = 0;
        }
        filled += ConvertBlock(format, block, output.get() + filled, frames);
        return 0;
      });
  if (outcome.Error != 0) return fail(outcome.Error);

  int error = file.Append(output.get(), filled);
  if (error == 0) {
    const auto header = BuildWavHeader(format, Saturated(file.Length() - kHeaderBytes));
    error = file.WriteAt(0, header.data(), header.size());
  }
  if (outcome.Cancelled) {
    file.Remove();
    return WriteResult::Cancelled;
  }
  if (error == 0) error = file.Finish();
  if (error != 0) return fail(error);
  return WriteResult::Written;
}

}  // namespace tavrin::exporter
