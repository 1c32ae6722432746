#include "export/mp3_pieces.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

#include "capture/recorder_state.h"
#include "export/mp3_frames.h"
#include "export/piece_workers.h"
#include "platform/wave_common.h"

namespace tavrin::exporter {

namespace {

using namespace tavrin::encoder;

// Encoded before a piece and dropped: by its first kept frame the encoder's
// filter banks hold the audio before it and its attack detector has seen the
// same granules as an encoder that ran from the start, so both sides of the
// join choose the same block types.
constexpr std::int64_t kLeadMp3Frames = 3;
// Encoded after a piece's end and dropped: the last kept frame's window and the
// encoder's look-ahead reach into them.
constexpr std::int64_t kTailMp3Frames = 2;
// 13.4 s: bounds what a piece holds (2.4 MB of samples); the overlap costs 1 %
// more encoding.
constexpr std::int64_t kMostPieceMp3Frames = 512;
constexpr std::int64_t kProbeMp3Frames = 4;
constexpr std::int64_t kReadStepFrames = 65536;  // read between letting messages run
constexpr auto kPumpInterval = std::chrono::milliseconds(20);
constexpr std::int64_t kBytesPerFrame = capture::kBufferBytes / capture::kFramesPerBuffer;

struct Piece {
  bool First = false;
  bool Last = false;
  std::vector<std::int16_t> Input;  // interleaved; freed once encoded
  std::int64_t SkipMp3Frames = 0;   // the lead, dropped
  std::int64_t KeepMp3Frames = -1;  // -1: to the stream's end
  // Written by the worker before the piece is taken back.
  std::vector<std::uint8_t> Output;  // the placeholder (first piece only), then the kept frames
  std::size_t PlaceholderBytes = 0;
  std::vector<std::uint8_t> InfoFrame;  // last piece only
  std::string Error;                    // for the user; empty when it encoded
};

struct PiecePlan {
  std::int64_t TakeFrames = 0;
  std::int64_t PieceFrames = 0;
  std::int64_t Count = 0;

  PiecePlan(std::int64_t takeFrames, unsigned threads)
      : TakeFrames(takeFrames),
        PieceFrames(Mp3PieceFrames(takeFrames, threads)),
        Count((takeFrames + PieceFrames - 1) / PieceFrames) {}
  std::int64_t InputFirst(std::int64_t index) const {
    return std::max<std::int64_t>(index * PieceFrames - kLeadMp3Frames * kFramesPerMp3Frame, 0);
  }
  std::int64_t InputEnd(std::int64_t index) const {
    return std::min((index + 1) * PieceFrames + kTailMp3Frames * kFramesPerMp3Frame, TakeFrames);
  }
};

// Reads frames of the save's range (counted from its start) through the edit list.
class RangeReader {
public:
  explicit RangeReader(const ExportContext& context)
      : m_context(context),
        m_runs(
            document::DocumentRuns(context.Document, context.Job.SaveFirst, context.Job.SaveLast)) {
    std::int64_t start = 0;
    // A run's frames leave out the take's padding at its end.
    for (const document::DocumentRun& run : m_runs) {
      m_starts.push_back(start);
      start += static_cast<std::int64_t>(document::RunFrames(context.State.Take, run));
    }
    m_starts.push_back(start);
  }

  std::int64_t Frames() const { return m_starts.back(); }
  // Returns 0 or errno.
  int Read(std::int64_t from, std::int64_t frames, std::int16_t* out) const {
    auto run = static_cast<std::size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), from) -
                                        m_starts.begin() - 1);
    while (frames > 0) {
      if (run >= m_runs.size()) return ENOENT;
      const std::int64_t inRun = from - m_starts[run];
      const std::int64_t count = std::min(frames, m_starts[run + 1] - from);
      if (const int error = document::ReadRun(m_context.Document, m_context.State.Take, m_runs[run],
                                              inRun * kBytesPerFrame, out,
                                              static_cast<std::size_t>(count * kBytesPerFrame))) {
        return error;
      }
      out += count * 2;
      from += count;
      frames -= count;
      ++run;
    }
    return 0;
  }

private:
  const ExportContext& m_context;
  std::vector<document::DocumentRun> m_runs;
  std::vector<std::int64_t> m_starts;  // first frame of each run, then the range's length
};

// Closes a stream however its encoding ends.
struct StreamCloser {
  const EncoderEntries& Entries;
  std::uint32_t Stream;
  ~StreamCloser() { Entries.CloseStream(Stream); }
};

// What a worker does with a piece: encodes it on a stream of its own and keeps
// its frames. Shared by every worker of one save.
class PieceEncoder {
public:
  PieceEncoder(const EncoderEntries& entries, const EncoderConfig& config, StreamShape shape)
      : m_entries(entries), m_config(config), m_shape(shape) {}

  void operator()(Piece& piece, const std::atomic<bool>& stop) {
    try {
      piece.Error = Encode(piece, stop);
    } catch (const std::bad_alloc&) {
      piece.Error = std::strerror(ENOMEM);
    }
  }
  std::int64_t EncodedFrames() const { return m_encodedFrames.load(std::memory_order_relaxed); }

private:
  // Encodes one piece and keeps its frames; returns "" or the user's message.
  std::string Encode(Piece& piece, const std::atomic<bool>& stop) {
    EncoderConfig config = m_config;
    std::uint32_t chunkSamples = 0;
    std::uint32_t outputBytes = 0;
    std::uint32_t stream = 0;
    std::uint32_t result = m_entries.InitStream(&config, &chunkSamples, &outputBytes, &stream);
    if (result != kBeErrSuccessful) return EncoderErrorText(result);
    const StreamCloser closer{m_entries, stream};
    chunkSamples &= ~1u;  // whole frames of two samples
    if (chunkSamples == 0 || outputBytes == 0) return EncoderErrorText(kBeErrBufferTooSmall);

    std::vector<std::uint8_t> output(outputBytes);
    std::vector<std::uint8_t>& stored = piece.Output;
    auto keep = [&](std::uint32_t produced) {
      if (produced > outputBytes) return false;
      stored.insert(stored.end(), output.begin(), output.begin() + produced);
      return true;
    };
    for (std::size_t at = 0; at < piece.Input.size();) {
      if (stop) return {};
      const auto samples =
          static_cast<std::uint32_t>(std::min<std::size_t>(chunkSamples, piece.Input.size() - at));
      std::uint32_t produced = 0;
      result =
          m_entries.EncodeChunk(stream, samples, piece.Input.data() + at, output.data(), &produced);
      if (result == kBeErrSuccessful && !keep(produced)) result = kBeErrBufferTooSmall;
      if (result != kBeErrSuccessful) return EncoderErrorText(result);
      at += samples;
      m_encodedFrames.fetch_add(samples / 2, std::memory_order_relaxed);
    }
    std::vector<std::int16_t>().swap(piece.Input);
    std::uint32_t produced = 0;
    result = m_entries.DeinitStream(stream, output.data(), &produced);
    if (result == kBeErrSuccessful && !keep(produced)) result = kBeErrBufferTooSmall;
    if (result != kBeErrSuccessful) return EncoderErrorText(result);
    if (piece.Last && m_shape.Placeholder) {
      result = m_entries.GetInfoFrame(stream, output.data(), &produced);
      if (result == kBeErrSuccessful && produced > outputBytes) result = kBeErrBufferTooSmall;
      if (result != kBeErrSuccessful) return EncoderErrorText(result);
      piece.InfoFrame.assign(output.begin(), output.begin() + produced);
    }
    return Cut(piece) ? std::string() : EncoderErrorText(kBeErrInvalidFormat);
  }

  // Drops the lead, what follows the kept frames, and the placeholder of every
  // piece but the first. False when the output is not whole frames.
  bool Cut(Piece& piece) const {
    std::vector<std::uint8_t>& stream = piece.Output;
    std::size_t at = 0;
    auto step = [&] {
      const Mp3FrameHeader header = ParseMp3FrameHeader(stream.data() + at, stream.size() - at);
      if (header.Bytes == 0 || header.Bytes > stream.size() - at) return false;
      at += header.Bytes;
      return true;
    };
    if (m_shape.Placeholder && !step()) return false;
    if (piece.First) piece.PlaceholderBytes = at;
    const std::size_t dropFrom = piece.PlaceholderBytes;
    for (std::int64_t i = 0; i < piece.SkipMp3Frames; ++i) {
      if (!step()) return false;
    }
    const std::size_t keepFrom = at;
    std::int64_t kept = 0;
    for (; at < stream.size() && (piece.KeepMp3Frames < 0 || kept < piece.KeepMp3Frames); ++kept) {
      if (!step()) return false;
    }
    if (piece.KeepMp3Frames >= 0 && kept < piece.KeepMp3Frames) return false;
    stream.resize(at);
    stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(dropFrom),
                 stream.begin() + static_cast<std::ptrdiff_t>(keepFrom));
    return true;
  }

  const EncoderEntries& m_entries;
  const EncoderConfig m_config;
  const StreamShape m_shape;
  std::atomic<std::int64_t> m_encodedFrames{0};
};

// Appends a finished piece in stream order and counts its frames for the
// information frame. Returns 0 or errno.
int WritePiece(const Piece& piece, OutputFile& file, InfoFrameTotals& totals) {
  if (const int error = file.Append(piece.Output.data(), piece.Output.size())) return error;
  for (std::size_t at = piece.PlaceholderBytes; at < piece.Output.size();) {
    const Mp3FrameHeader header =
        ParseMp3FrameHeader(piece.Output.data() + at, piece.Output.size() - at);
    totals.Add(piece.Output.data() + at, header);
    at += header.Bytes;
  }
  return 0;
}

PiecesOutcome Encode(ExportContext& context, const EncoderEntries& entries,
                     const EncoderConfig& config, StreamShape shape, unsigned threads,
                     OutputFile& file) {
  SaveJob& job = context.Job;
  const RangeReader reader(context);
  const PiecePlan plan(reader.Frames(), threads);
  std::int64_t inputFrames = 0;
  for (std::int64_t i = 0; i < plan.Count; ++i)
    inputFrames += plan.InputEnd(i) - plan.InputFirst(i);
  InfoFrameTotals totals;
  PiecesOutcome outcome;
  PieceEncoder encoder(entries, config, shape);
  PieceWorkers<Piece> workers(threads, std::ref(encoder));
  if (workers.Threads() == 0) {
    outcome.Error = std::strerror(workers.StartError() != 0 ? workers.StartError() : EAGAIN);
    return outcome;
  }
  // Sets the progress and lets messages run; false once Cancel was pressed.
  // 100 % is left for the save's end: the last frames are still being cut and written.
  auto letMessagesRun = [&] {
    job.OperationProgress = static_cast<float>(std::min(
        static_cast<double>(encoder.EncodedFrames()) / static_cast<double>(inputFrames) * 100.0,
        99.9));
    context.User.Pump();
    return job.SaveActive;
  };

  for (std::int64_t next = 0, written = 0; written < plan.Count;) {
    // Up to two pieces a thread are held (read, being encoded, or done and
    // waiting for the ones before them), so that a slow piece at the head does
    // not leave threads idle; memory stays bounded (2.6 MB or so a piece).
    if (next < plan.Count && workers.Held() < 2 * std::size_t{workers.Threads()}) {
      auto piece = std::make_unique<Piece>();
      const std::int64_t first = plan.InputFirst(next);
      const std::int64_t frames = plan.InputEnd(next) - first;
      piece->First = next == 0;
      piece->Last = next == plan.Count - 1;
      piece->SkipMp3Frames = (next * plan.PieceFrames - first) / kFramesPerMp3Frame;
      piece->KeepMp3Frames = piece->Last ? -1 : plan.PieceFrames / kFramesPerMp3Frame;
      piece->Input.resize(static_cast<std::size_t>(frames * 2));
      for (std::int64_t done = 0; done < frames; done += kReadStepFrames) {
        if (!letMessagesRun()) {
          outcome.Cancelled = true;
          return outcome;
        }
        const std::int64_t count = std::min(kReadStepFrames, frames - done);
        if (const int error = reader.Read(first + done, count, piece->Input.data() + done * 2)) {
          outcome.Error = file.ErrorText(error);
          return outcome;
        }
      }
      workers.Submit(std::move(piece));
      ++next;
      continue;
    }
    const std::unique_ptr<Piece> done = workers.TakeOldest(kPumpInterval);
    if (!done) {
      if (!letMessagesRun()) {
        outcome.Cancelled = true;
        return outcome;
      }
      continue;
    }
    if (outcome.Error = done->Error; !outcome.Error.empty()) return outcome;
    if (const int error = WritePiece(*done, file, totals)) {
      outcome.Error = file.ErrorText(error);
      return outcome;
    }
    if (done->Last) outcome.InfoFrame = std::move(done->InfoFrame);
    ++written;
  }
  if (!outcome.InfoFrame.empty() && !RewriteInfoFrame(outcome.InfoFrame, totals, plan.TakeFrames)) {
    outcome.Error = EncoderErrorText(kBeErrInvalidFormat);
  }
  return outcome;
}

}  // namespace

std::string EncoderErrorText(std::uint32_t code) {
  return "BE_ERR code-" + std::to_string(code);
}

std::int64_t Mp3PieceFrames(std::int64_t takeFrames, unsigned threads) {
  const std::int64_t share = (takeFrames + threads - 1) / threads;
  const std::int64_t onGrid =
      (share + kFramesPerMp3Frame - 1) / kFramesPerMp3Frame * kFramesPerMp3Frame;
  return std::max(std::min(kMostPieceMp3Frames * kFramesPerMp3Frame, onGrid), kFramesPerMp3Frame);
}

StreamShape ProbeStreams(const EncoderEntries& entries, EncoderConfig config) {
  StreamShape shape;
  std::uint32_t chunkSamples = 0;
  std::uint32_t outputBytes = 0;
  std::uint32_t stream = 0;
  if (entries.InitStream(&config, &chunkSamples, &outputBytes, &stream) != kBeErrSuccessful) {
    return shape;
  }
  std::vector<std::uint8_t> produced;
  std::uint32_t infoBytes = 0;
  {
    const StreamCloser closer{entries, stream};
    if (chunkSamples < 2 || outputBytes == 0) return shape;
    const std::vector<std::int16_t> silence(
        std::min<std::size_t>(chunkSamples & ~1u, kProbeMp3Frames * kFramesPerMp3Frame * 2));
    std::vector<std::uint8_t> output(outputBytes);
    std::uint32_t bytes = 0;
    auto keep = [&](std::uint32_t result) {
      if (result != kBeErrSuccessful || bytes > outputBytes) return false;
      produced.insert(produced.end(), output.begin(), output.begin() + bytes);
      return true;
    };
    if (!keep(entries.EncodeChunk(stream, static_cast<std::uint32_t>(silence.size()),
                                  silence.data(), output.data(), &bytes)) ||
        !keep(entries.DeinitStream(stream, output.data(), &bytes))) {
      return shape;
    }
    if (entries.GetInfoFrame &&
        entries.GetInfoFrame(stream, output.data(), &infoBytes) != kBeErrSuccessful) {
      return shape;
    }
  }
  // Whole frames of MPEG-1 at the input's rate, nothing else.
  Mp3FrameHeader first;
  for (std::size_t at = 0; at < produced.size();) {
    const Mp3FrameHeader header = ParseMp3FrameHeader(produced.data() + at, produced.size() - at);
    if (header.Bytes == 0 || header.Bytes > produced.size() - at || !header.Mpeg1 ||
        header.SampleRate != platform::kFormatRate) {
      return shape;
    }
    if (at == 0) first = header;
    at += header.Bytes;
  }
  shape.Joinable = !produced.empty();
  shape.Placeholder = infoBytes != 0 && infoBytes == first.Bytes;
  return shape;
}

PiecesOutcome EncodePieces(ExportContext& context, const EncoderEntries& entries,
                           const EncoderConfig& config, StreamShape shape, unsigned threads,
                           OutputFile& file) {
  try {
    return Encode(context, entries, config, shape, threads, file);
  } catch (const std::bad_alloc&) {
    return {false, std::strerror(ENOMEM), {}};
  }
}

}  // namespace tavrin::exporter
