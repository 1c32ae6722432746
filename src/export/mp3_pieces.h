#pragma once
// The MP3 writer on several threads. The range is cut into pieces on the
// encoder's frame grid (multiples of 1152 frames from the range's start); each
// piece is encoded by an encoder stream of its own on a worker thread,
// starting a few MP3 frames early and running a few past its end, so that the
// frames kept on both sides of a join are made from the same audio as one
// encoder would make them; the extra frames are dropped. The record disables
// the bit reservoir, so no frame borrows bytes from the frames before it and
// every frame boundary is a valid join.
// Called on the user-interface thread, which alone reads the document and
// writes the file; the workers see only the samples handed to them.

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/encoder_api.h"
#include "export/output_file.h"
#include "export/save_job.h"

namespace tavrin::exporter {

// The library's entries, shared by every stream of a save.
struct EncoderEntries {
  encoder::BeInitStreamEntry InitStream = nullptr;
  encoder::BeEncodeChunkEntry EncodeChunk = nullptr;
  encoder::BeDeinitStreamEntry DeinitStream = nullptr;
  encoder::BeCloseStreamEntry CloseStream = nullptr;
  encoder::BeGetInfoFrameEntry GetInfoFrame = nullptr;  // optional
};

// "BE_ERR code-" and the library's result in decimal.
std::string EncoderErrorText(std::uint32_t code);

// What the streams of one record look like, learnt from a stream fed a few
// frames of silence.
struct StreamShape {
  // MPEG-1 layer III at the input's rate: every MP3 frame is 1152 input frames.
  // A record the encoder resamples for is encoded on one thread.
  bool Joinable = false;
  bool Placeholder = false;  // a stream begins with the information frame's placeholder
};
StreamShape ProbeStreams(const EncoderEntries& entries, encoder::EncoderConfig config);

// The frames of audio in each piece but the last: each thread's share of
// `takeFrames` on whole MP3 frames, at most 512 MP3 frames (13.4 s), so
// that a piece's samples stay small and a long take spreads evenly.
std::int64_t Mp3PieceFrames(std::int64_t takeFrames, unsigned threads);

struct PiecesOutcome {
  bool Cancelled = false;
  std::string Error;                    // for the user; empty when the stream is written
  std::vector<std::uint8_t> InfoFrame;  // describes the whole stream; goes over its first frame
};

// Encodes the job's range on `threads` workers and appends the joined stream
// to `file`. Progress, messages and Cancel as in the one-thread loop.
PiecesOutcome EncodePieces(ExportContext& context, const EncoderEntries& entries,
                           const encoder::EncoderConfig& config, StreamShape shape,
                           unsigned threads, OutputFile& file);

}  // namespace tavrin::exporter
