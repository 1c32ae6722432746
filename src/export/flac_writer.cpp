#include "export/flac_writer.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "export/block_loop.h"
#include "export/file_tags.h"
#include "export/flac_frames.h"
#include "export/flac_pieces.h"
#include "export/md5.h"
#include "export/output_file.h"
#include "export/piece_workers.h"
#include "export/save_threads.h"

namespace tavrin::exporter {

namespace {

constexpr std::uint32_t kSeekPointSeconds = 10;
// Returned by a block step when the encoder failed without a file error.
constexpr int kEncoderFailed = -1;
// Returned by a step of a save on threads when a piece's encoder failed.
constexpr int kPieceFailed = -2;
// How long the user-interface thread waits for a piece at a time.
constexpr std::chrono::milliseconds kPieceWait{50};

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
         SetEncoderFormat(encoder, format, level) &&
         FLAC__stream_encoder_set_total_samples_estimate(encoder, totalFrames) &&
         FLAC__stream_encoder_set_metadata(encoder, session.Metadata.data(),
                                           static_cast<std::uint32_t>(session.Metadata.size()));
}

// Shows why the save failed, a file's error, the encoder's state or a piece's
// text, and leaves no file.
WriteResult FailFlac(ExportContext& context, FlacSession& session, int error,
                     const std::string& pieceError = {}) {
  const std::string text =
      error == kPieceFailed ? pieceError
      : error == kEncoderFailed
          ? std::string("FLAC encoder: ") +
                FLAC__StreamEncoderStateString[FLAC__stream_encoder_get_state(session.Encoder)]
          : session.File.ErrorText(error);
  session.Discard();
  context.User.Warn(text);
  return WriteResult::Failed;
}

// Keeps the stream's start as libFLAC writes it: "fLaC" and the metadata blocks.
FLAC__StreamEncoderWriteStatus KeepHead(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                        size_t bytes, uint32_t, uint32_t, void* head) {
  auto& kept = *static_cast<std::vector<std::uint8_t>*>(head);
  kept.insert(kept.end(), buffer, buffer + bytes);
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

// libFLAC sums the MD5 over signed little-endian samples: converted 16-bit
// audio as it is, 8-bit with the top bit flipped back.
void AddToMd5(Md5& md5, const WavFormat& format, const std::uint8_t* converted, std::size_t bytes) {
  if (format.BitPerSample != 8) {
    md5.Update(converted, bytes);
    return;
  }
  std::uint8_t flipped[1024];
  for (std::size_t at = 0; at < bytes; at += sizeof flipped) {
    const std::size_t count = std::min(sizeof flipped, bytes - at);
    for (std::size_t i = 0; i < count; ++i) flipped[i] = converted[at + i] ^ 0x80;
    md5.Update(flipped, count);
  }
}

// The stream's start as libFLAC writes it for a save's settings ("fLaC" and
// the metadata blocks, STREAMINFO and the seek table still to be filled in),
// with where those two lie and the seek table's template.
struct StreamStart {
  std::vector<std::uint8_t> Bytes;
  std::uint32_t BlockFrames = 0;  // the encoder's fixed block size
  FlacBlockPlace Info;
  FlacBlockPlace SeekTable;
  std::vector<FlacSeekPoint> SeekPoints;
};

// Fills `start` through the session's encoder, which encodes no audio.
// Returns 0, ENOMEM, kEncoderFailed or EINVAL (a layout libFLAC never writes).
int MakeStreamStart(FlacSession& session, const WavFormat& format, int level,
                    std::uint64_t totalFrames, StreamStart& start) {
  if (!SetUpEncoder(session, format, level, totalFrames)) return ENOMEM;
  if (FLAC__stream_encoder_init_stream(session.Encoder, KeepHead, nullptr, nullptr, nullptr,
                                       &start.Bytes) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    return kEncoderFailed;
  }
  start.BlockFrames = FLAC__stream_encoder_get_blocksize(session.Encoder);
  if (!FLAC__stream_encoder_finish(session.Encoder)) return kEncoderFailed;
  start.Info = FindMetadataBlock(start.Bytes, FLAC__METADATA_TYPE_STREAMINFO);
  start.SeekTable = FindMetadataBlock(start.Bytes, FLAC__METADATA_TYPE_SEEKTABLE);
  for (const FLAC__StreamMetadata* block : session.Metadata) {
    if (block->type != FLAC__METADATA_TYPE_SEEKTABLE) continue;
    const FLAC__StreamMetadata_SeekTable& table = block->data.seek_table;
    for (const FLAC__StreamMetadata_SeekPoint& point : std::span(table.points, table.num_points)) {
      start.SeekPoints.push_back({point.sample_number, point.stream_offset,
                                  static_cast<std::uint16_t>(point.frame_samples)});
    }
  }
  const bool known = start.BlockFrames > 0 && start.Info.Bytes == kStreamInfoBytes &&
                     start.SeekTable.Bytes == start.SeekPoints.size() * kSeekPointBytes;
  return known ? 0 : EINVAL;
}

// The save on `threads` threads: libFLAC writes the stream's start once, the
// pieces are cut here in order (with the MD5 of the audio), encoded by the
// pool and written back in order, and STREAMINFO and the seek table are
// filled in for the whole stream at the end.
WriteResult WriteFlacOnThreads(ExportContext& context, const WavFormat& format, int level,
                               std::uint64_t totalFrames, unsigned threads) {
  SaveJob& job = context.Job;
  FlacSession session;  // its encoder writes the stream's start and no audio
  std::string pieceError;
  std::unique_ptr<PieceWorkers<FlacPiece>> pool;
  auto fail = [&](int error) {
    if (pool) pool->Stop();
    return FailFlac(context, session, error, pieceError);
  };

  StreamStart start;
  if (const int error = session.File.Create(job.OutputPath, context)) return fail(error);
  if (const int error = MakeStreamStart(session, format, level, totalFrames, start)) {
    return fail(error);
  }
  if (const int error = session.File.Append(start.Bytes.data(), start.Bytes.size())) {
    return fail(error);
  }
  pool = std::make_unique<PieceWorkers<FlacPiece>>(
      threads, [&format, level](FlacPiece& piece, const std::atomic<bool>& stop) {
        EncodePiece(format, level, piece, stop);
      });
  if (pool->Threads() == 0) return fail(pool->StartError() != 0 ? pool->StartError() : EAGAIN);

  const std::uint32_t blockFrames = start.BlockFrames;
  FlacStreamInfo info;
  info.MinBlockFrames = info.MaxBlockFrames = blockFrames;
  info.SampleRate = static_cast<std::uint32_t>(format.SamplePerSecond);
  info.Channels = format.Channels;
  info.BitsPerSample = format.BitPerSample;
  info.TotalFrames = totalFrames;
  JoinedStream stream(info, std::move(start.SeekPoints));
  const std::uint64_t pieceFrames = FlacPieceFrames(blockFrames);
  const std::size_t frameBytes = format.Channels * (format.BitPerSample / 8u);
  const std::size_t pieceBytes = pieceFrames * frameBytes;
  std::uint64_t piecesCut = 0;
  std::vector<std::unique_ptr<FlacPiece>> spare;  // written, to be filled again
  const auto nextPiece = [&] {
    std::unique_ptr<FlacPiece> piece;
    if (spare.empty()) {
      piece = std::make_unique<FlacPiece>();
      piece->Audio.resize(pieceBytes);
    } else {
      piece = std::move(spare.back());
      spare.pop_back();
    }
    piece->FirstFlacFrame = static_cast<std::uint32_t>(piecesCut * (pieceFrames / blockFrames));
    return piece;
  };
  const auto write = [&](std::unique_ptr<FlacPiece> piece) {
    if (!piece->Error.empty()) {
      pieceError = piece->Error;
      return kPieceFailed;
    }
    if (!stream.Add(piece->FlacFrameBytes)) return EINVAL;
    const int error = session.File.Append(piece->FlacFrames.data(), piece->FlacFrames.size());
    piece->AudioBytes = 0;
    piece->FlacFrames.clear();
    piece->FlacFrameBytes.clear();
    spare.push_back(std::move(piece));
    return error;
  };
  // Writes the pieces encoded at the front; while `most` or more are held,
  // waits for the oldest, which bounds the memory the save holds.
  const auto writeReady = [&](std::size_t most) {
    for (;;) {
      const bool full = pool->Held() >= most;
      std::unique_ptr<FlacPiece> piece =
          pool->TakeOldest(full ? kPieceWait : std::chrono::milliseconds{0});
      if (piece) {
        if (const int error = write(std::move(piece))) return error;
      } else if (!full) {
        return 0;
      }
    }
  };

  std::unique_ptr<FlacPiece> piece = nextPiece();
  const auto cut = [&] {
    pool->Submit(std::move(piece));
    ++piecesCut;
    piece = nextPiece();
  };
  const auto blockBytes = static_cast<std::size_t>(OutputBlockBytes(format));
  std::vector<std::uint8_t> converted(blockBytes);
  Md5 md5;
  const std::size_t most = 2 * std::size_t{pool->Threads()};
  const BlockLoopOutcome outcome =
      ForEachBlock(context, [&](const std::uint8_t* block, std::uint32_t frames) {
        // Converted straight into the piece when the block fits in it whole.
        const bool fits = pieceBytes - piece->AudioBytes >= blockBytes;
        std::uint8_t* out = fits ? piece->Audio.data() + piece->AudioBytes : converted.data();
        const std::size_t bytes = ConvertBlock(format, block, out, frames);
        if (bytes == 0) return EINVAL;
        AddToMd5(md5, format, out, bytes);
        // A piece holds many blocks: what does not fit starts the next.
        const std::size_t taken = std::min(bytes, pieceBytes - piece->AudioBytes);
        if (!fits) std::copy_n(out, taken, piece->Audio.data() + piece->AudioBytes);
        piece->AudioBytes += taken;
        if (piece->AudioBytes == pieceBytes) cut();
        if (taken < bytes) {
          std::copy_n(out + taken, bytes - taken, piece->Audio.data());
          piece->AudioBytes = bytes - taken;
        }
        return writeReady(most);
      });
  if (outcome.Error != 0) return fail(outcome.Error);
  if (outcome.Cancelled) {
    pool->Stop();
    session.Discard();
    return WriteResult::Cancelled;
  }
  if (piece->AudioBytes > 0) pool->Submit(std::move(piece));
  // The last pieces, with messages let run in between so that Cancel still reaches the save.
  while (pool->Held() > 0) {
    if (std::unique_ptr<FlacPiece> done = pool->TakeOldest(kPieceWait)) {
      if (const int error = write(std::move(done))) return fail(error);
    }
    context.User.Pump();
    if (!job.SaveActive) {
      pool->Stop();
      session.Discard();
      return WriteResult::Cancelled;
    }
  }
  pool->Stop();
  if (!stream.Complete()) return fail(EINVAL);

  const auto streamInfo = stream.StreamInfo(md5.Finish());
  const std::vector<std::uint8_t> seekTable = stream.SeekTable();
  if (const int error = session.File.WriteAt(static_cast<std::int64_t>(start.Info.Offset),
                                             streamInfo.data(), streamInfo.size())) {
    return fail(error);
  }
  if (!seekTable.empty()) {
    if (const int error = session.File.WriteAt(static_cast<std::int64_t>(start.SeekTable.Offset),
                                               seekTable.data(), seekTable.size())) {
      return fail(error);
    }
  }
  if (const int error = session.File.Finish(); error != 0) return fail(error);
  return WriteResult::Written;
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
  const std::uint64_t totalFrames = RangeOutputFrames(context, format);
  const int level = std::clamp(context.Settings.FlacCompression, 0, settings::kMaxFlacCompression);
  if (const unsigned threads = SaveThreads(totalFrames, job.Threads); threads > 1) {
    return WriteFlacOnThreads(context, format, level, totalFrames, threads);
  }
  FlacSession session;
  auto fail = [&](int error) { return FailFlac(context, session, error); };

  if (!SetUpEncoder(session, format, level, totalFrames)) return fail(ENOMEM);
  if (const int error = session.File.Create(job.OutputPath, context)) return fail(error);
  if (FLAC__stream_encoder_init_stream(session.Encoder, WriteCallback, SeekCallback, TellCallback,
                                       nullptr, &session) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    return fail(session.Failure());
  }

  const std::size_t blockFrames = blockBytes / frameBytes;
  std::vector<std::uint8_t> converted(blockBytes);
  std::vector<FLAC__int32> samples(2 * blockFrames);
  FLAC__int32* const channels[2] = {samples.data(), samples.data() + blockFrames};
  const BlockLoopOutcome outcome =
      ForEachBlock(context, [&](const std::uint8_t* block, std::uint32_t sourceFrames) {
        const auto frames = static_cast<std::uint32_t>(
            ConvertBlock(format, block, converted.data(), sourceFrames) / frameBytes);
        if (frames == 0) return EINVAL;
        Widen(format, converted.data(), frames, channels);
        return FLAC__stream_encoder_process(session.Encoder, channels, frames) ? 0
                                                                               : session.Failure();
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
