#include "export/flac_writer.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "export/block_loop.h"
#include "export/file_tags.h"
#include "export/output_file.h"

namespace tavrin::exporter {

namespace {

constexpr std::uint32_t kSeekPointSeconds = 10;
// Returned by a block step when the encoder failed without a file error.
constexpr int kEncoderFailed = -1;

// libFLAC writes forwards and, at the end, seeks back to fill in STREAMINFO
// (sample count, MD5) and the seek table.
class FlacSession {
public:
  FlacSession() = default;
  FlacSession(const FlacSession&) = delete;
  FlacSession& operator=(const FlacSession&) = delete;
  ~FlacSession() {
    // Deleting an encoder that was not finished finishes it through the
    // callbacks, which still need this session's file.
    if (Encoder) FLAC__stream_encoder_delete(Encoder);
    for (FLAC__StreamMetadata* block : Metadata) FLAC__metadata_object_delete(block);
  }

  FLAC__StreamEncoder* Encoder = FLAC__stream_encoder_new();
  std::vector<FLAC__StreamMetadata*> Metadata;
  OutputFile File;
  std::uint64_t Position = 0;
  int WriteError = 0;  // the first failed write's errno; libFLAC only learns "failed"

  int Write(const FLAC__byte* data, std::size_t bytes) {
    if (WriteError != 0) return WriteError;
    // What lies inside the file is rewritten in place, the rest appended.
    const std::uint64_t inside = std::min<std::uint64_t>(bytes, File.Length() - Position);
    if (inside > 0) WriteError = File.WriteAt(static_cast<std::int64_t>(Position), data, inside);
    if (WriteError == 0 && inside < bytes) WriteError = File.Append(data + inside, bytes - inside);
    if (WriteError == 0) Position += bytes;
    return WriteError;
  }

  // The errno behind a failure of the encoder, else kEncoderFailed.
  int Failure() const { return WriteError != 0 ? WriteError : kEncoderFailed; }

  // Ends the encoder and deletes the file: what the finish and the close
  // report no longer matters.
  void Discard() {
    if (Encoder) static_cast<void>(FLAC__stream_encoder_finish(Encoder));
    static_cast<void>(File.Close());
    File.Remove();
  }
};

FLAC__StreamEncoderWriteStatus WriteCallback(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                             size_t bytes, uint32_t, uint32_t, void* session) {
  return static_cast<FlacSession*>(session)->Write(buffer, bytes) == 0
             ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
             : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus SeekCallback(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                           void* session) {
  auto* flac = static_cast<FlacSession*>(session);
  if (offset > flac->File.Length()) return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
  flac->Position = offset;
  return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus TellCallback(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                           void* session) {
  *offset = static_cast<FlacSession*>(session)->Position;
  return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool AddComment(FLAC__StreamMetadata* comments, const char* name, const std::string& value) {
  FLAC__StreamMetadata_VorbisComment_Entry entry{};
  if (value.empty()) return true;
  return FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name,
                                                                        value.c_str()) &&
         FLAC__metadata_object_vorbiscomment_append_comment(comments, entry, /*copy=*/false);
}

// The Vorbis comment and the seek table for `totalFrames` frames.
bool BuildMetadata(FlacSession& session, const WavFormat& format, std::uint64_t totalFrames) {
  FLAC__StreamMetadata* comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
  if (comments) session.Metadata.push_back(comments);
  FLAC__StreamMetadata* seekTable = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
  if (seekTable) session.Metadata.push_back(seekTable);
  return comments && seekTable && AddComment(comments, "ENCODER", EncoderTag()) &&
         AddComment(comments, "DATE", DateTag()) &&
         FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
             seekTable, kSeekPointSeconds * static_cast<std::uint32_t>(format.SamplePerSecond),
             totalFrames) &&
         FLAC__metadata_object_seektable_template_sort(seekTable, /*compact=*/true);
}

// The stream encoder always sums the MD5 of the audio into STREAMINFO.
bool SetUpEncoder(FlacSession& session, const WavFormat& format, int level,
                  std::uint64_t totalFrames) {
  FLAC__StreamEncoder* encoder = session.Encoder;
  return encoder && BuildMetadata(session, format, totalFrames) &&
         FLAC__stream_encoder_set_channels(encoder, format.Channels) &&
         FLAC__stream_encoder_set_bits_per_sample(encoder, format.BitPerSample) &&
         FLAC__stream_encoder_set_sample_rate(encoder,
                                              static_cast<std::uint32_t>(format.SamplePerSecond)) &&
         FLAC__stream_encoder_set_compression_level(encoder, static_cast<std::uint32_t>(level)) &&
         FLAC__stream_encoder_set_total_samples_estimate(encoder, totalFrames) &&
         FLAC__stream_encoder_set_metadata(encoder, session.Metadata.data(),
                                           static_cast<std::uint32_t>(session.Metadata.size()));
}

// A converted block as libFLAC's samples, one array a channel (the encoder
// copies those whole): 16-bit little-endian as it is, 8-bit (stored with 128
// added) back to signed.
void Widen(const WavFormat& format, const std::uint8_t* converted, std::size_t frames,
           FLAC__int32* const* channels) {
  const std::size_t count = format.Channels;
  for (std::size_t frame = 0, at = 0; frame < frames; ++frame) {
    for (std::size_t channel = 0; channel < count; ++channel) {
      if (format.BitPerSample == 8) {
        channels[channel][frame] = static_cast<FLAC__int32>(converted[at++]) - 128;
      } else {
        channels[channel][frame] =
            static_cast<std::int16_t>(converted[at] | (converted[at + 1] << 8));
        at += 2;
      }
    }
  }
}

}  // namespace

WavFormat EffectiveFlacFormat(const settings::Settings& settings) {
  return EffectivePcmFormat(settings.FlacSamplePerSecond, settings.FlacBitPerSample,
                            settings.FlacChannels);
}

WriteResult WriteFlac(ExportContext& context) {
  SaveJob& job = context.Job;
  const WavFormat format = EffectiveFlacFormat(context.Settings);
  const auto blockBytes = static_cast<std::size_t>(OutputBlockBytes(format));
  const std::size_t frameBytes = format.Channels * (format.BitPerSample / 8u);
  const std::uint64_t totalFrames =
      (std::uint64_t{job.SaveLast} - job.SaveFirst + 1) * (blockBytes / frameBytes);
  const int level = std::clamp(context.Settings.FlacCompression, 0, settings::kMaxFlacCompression);
  FlacSession session;

  auto fail = [&](int error) {
    const std::string text =
        error == kEncoderFailed
            ? std::string("FLAC encoder: ") +
                  FLAC__StreamEncoderStateString[FLAC__stream_encoder_get_state(session.Encoder)]
            : session.File.ErrorText(error);
    session.Discard();
    context.User.Show(text);
    return WriteResult::Failed;
  };

  if (!SetUpEncoder(session, format, level, totalFrames)) return fail(ENOMEM);
  if (const int error = session.File.Create(job.OutputPath, context)) return fail(error);
  if (FLAC__stream_encoder_init_stream(session.Encoder, WriteCallback, SeekCallback, TellCallback,
                                       nullptr, &session) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    return fail(session.Failure());
  }

  const auto frames = static_cast<std::uint32_t>(blockBytes / frameBytes);
  std::vector<std::uint8_t> converted(blockBytes);
  std::vector<FLAC__int32> samples(std::size_t{2} * frames);
  FLAC__int32* const channels[2] = {samples.data(), samples.data() + frames};
  const BlockLoopOutcome outcome = ForEachBlock(context, [&](const std::uint8_t* block) {
    if (ConvertBlock(format, block, converted.data()) != blockBytes) return EINVAL;
    Widen(format, converted.data(), frames, channels);
    return FLAC__stream_encoder_process(session.Encoder, channels, frames) ? 0 : session.Failure();
  });
  if (outcome.Error != 0) return fail(outcome.Error);
  if (outcome.Cancelled) {
    session.Discard();
    return WriteResult::Cancelled;
  }
  // The finish writes the last frame and fills in STREAMINFO: a failure there is a broken file.
  if (!FLAC__stream_encoder_finish(session.Encoder)) return fail(session.Failure());
  if (const int error = session.File.Finish(); error != 0) return fail(error);
  return WriteResult::Written;
}

}  // namespace tavrin::exporter
