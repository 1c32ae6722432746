#include "export/flac_pieces.h"

#include <dlfcn.h>

#include <algorithm>
#include <new>

#include "export/flac_frames.h"
#include "export/save_threads.h"

namespace tavrin::exporter {

namespace {

// Audio frames widened and handed to an encoder at a time; a Stop is seen
// between two of them.
constexpr std::size_t kPieceChunkFrames = 4096;

// libFLAC exports a switch for the MD5 sum its encoder keeps but leaves it out
// of its public header (its own command line declares it for itself). A piece
// needs no sum of its own: the save sums the whole stream's once, in order.
// Null when this libFLAC does not export it; the pieces then sum in vain.
using SetDoMd5Entry = FLAC__bool (*)(FLAC__StreamEncoder*, FLAC__bool);
SetDoMd5Entry FindSetDoMd5() {
  static const auto entry =
      reinterpret_cast<SetDoMd5Entry>(::dlsym(RTLD_DEFAULT, "FLAC__stream_encoder_set_do_md5"));
  return entry;
}

// Keeps the FLAC frames of a piece, renumbered; the stream's start ("fLaC"
// and STREAMINFO, written with no audio) is the whole file's, written once.
FLAC__StreamEncoderWriteStatus KeepPieceFrame(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                              size_t bytes, uint32_t samples, uint32_t,
                                              void* data) {
  auto& piece = *static_cast<FlacPiece*>(data);
  if (samples == 0) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  try {
    const std::size_t before = piece.FlacFrames.size();
    const auto number =
        piece.FirstFlacFrame + static_cast<std::uint32_t>(piece.FlacFrameBytes.size());
    if (!AppendRenumberedFrame(buffer, bytes, number, piece.FlacFrames)) {
      return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    piece.FlacFrameBytes.push_back(static_cast<std::uint32_t>(piece.FlacFrames.size() - before));
  } catch (const std::bad_alloc&) {
    return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  }
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

// One loop a format, so that the compiler can vectorise each.
template <std::size_t Channels, std::size_t Bytes>
void WidenAs(const std::uint8_t* converted, std::size_t frames, FLAC__int32* const* channels) {
  for (std::size_t channel = 0; channel < Channels; ++channel) {
    FLAC__int32* out = channels[channel];
    const std::uint8_t* in = converted + channel * Bytes;
    for (std::size_t frame = 0; frame < frames; ++frame, in += Channels * Bytes) {
      if constexpr (Bytes == 1) {
        out[frame] = FLAC__int32{in[0]} - 128;
      } else {
        out[frame] = static_cast<std::int16_t>(in[0] | in[1] << 8);
      }
    }
  }
}

}  // namespace

bool SetEncoderFormat(FLAC__StreamEncoder* encoder, const WavFormat& format, int level) {
  return FLAC__stream_encoder_set_channels(encoder, format.Channels) &&
         FLAC__stream_encoder_set_bits_per_sample(encoder, format.BitPerSample) &&
         FLAC__stream_encoder_set_sample_rate(encoder,
                                              static_cast<std::uint32_t>(format.SamplePerSecond)) &&
         FLAC__stream_encoder_set_compression_level(encoder, static_cast<std::uint32_t>(level));
}

void Widen(const WavFormat& format, const std::uint8_t* converted, std::size_t frames,
           FLAC__int32* const* channels) {
  if (format.BitPerSample == 8) {
    format.Channels == 1 ? WidenAs<1, 1>(converted, frames, channels)
                         : WidenAs<2, 1>(converted, frames, channels);
  } else {
    format.Channels == 1 ? WidenAs<1, 2>(converted, frames, channels)
                         : WidenAs<2, 2>(converted, frames, channels);
  }
}

std::uint64_t FlacPieceFrames(std::uint32_t blockFrames) {
  const std::uint64_t block = std::max<std::uint32_t>(blockFrames, 1);
  return (kLeastFramesPerThread + block - 1) / block * block;
}

void EncodePiece(const WavFormat& format, int level, FlacPiece& piece,
                 const std::atomic<bool>& stop) {
  FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
  const auto failed = [&] {
    piece.Error =
        std::string("FLAC encoder: ") +
        FLAC__StreamEncoderStateString[encoder ? FLAC__stream_encoder_get_state(encoder)
                                               : FLAC__STREAM_ENCODER_MEMORY_ALLOCATION_ERROR];
  };
  const SetDoMd5Entry setDoMd5 = FindSetDoMd5();
  if (!encoder || !SetEncoderFormat(encoder, format, level) ||
      (setDoMd5 && !setDoMd5(encoder, false)) ||
      FLAC__stream_encoder_init_stream(encoder, KeepPieceFrame, nullptr, nullptr, nullptr,
                                       &piece) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    failed();
  } else {
    try {
      const std::size_t frameBytes = format.Channels * (format.BitPerSample / 8u);
      const std::size_t frames = piece.AudioBytes / frameBytes;
      std::vector<FLAC__int32> samples(2 * kPieceChunkFrames);
      FLAC__int32* const channels[2] = {samples.data(), samples.data() + kPieceChunkFrames};
      bool ok = true;
      for (std::size_t at = 0; ok && at < frames && !stop; at += kPieceChunkFrames) {
        const std::size_t count = std::min(kPieceChunkFrames, frames - at);
        Widen(format, piece.Audio.data() + at * frameBytes, count, channels);
        ok = FLAC__stream_encoder_process(encoder, channels, static_cast<std::uint32_t>(count));
      }
      // The finish writes the piece's last FLAC frame.
      if (!stop && !(ok && FLAC__stream_encoder_finish(encoder))) failed();
    } catch (const std::bad_alloc&) {
      piece.Error = std::string("FLAC encoder: ") +
                    FLAC__StreamEncoderStateString[FLAC__STREAM_ENCODER_MEMORY_ALLOCATION_ERROR];
    }
  }
  if (encoder) FLAC__stream_encoder_delete(encoder);
}

}  // namespace tavrin::exporter
