#pragma once
// FLAC on several threads: the audio cut into pieces of whole encoder blocks,
// each piece encoded by a libFLAC stream encoder of its own, with the same
// settings, on a worker thread (PieceWorkers), and its FLAC frames renumbered
// for their place in the whole stream.

#include <FLAC/stream_encoder.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "export/wav_writer.h"

namespace tavrin::exporter {

// Channels, width, rate and compression level: what every encoder of one
// save is given alike.
bool SetEncoderFormat(FLAC__StreamEncoder* encoder, const WavFormat& format, int level);

// Converted audio (as ConvertBlock writes it) as libFLAC's samples, one array
// a channel: 16-bit little-endian as it is, 8-bit (stored with 128 added)
// back to signed.
void Widen(const WavFormat& format, const std::uint8_t* converted, std::size_t frames,
           FLAC__int32* const* channels);

// The audio frames of every piece but the last: the fewest whole encoder
// blocks of `blockFrames` that make at least kLeastFramesPerThread.
std::uint64_t FlacPieceFrames(std::uint32_t blockFrames);

// A piece is used again once written, so that its memory is reused too.
struct FlacPiece {
  std::vector<std::uint8_t> Audio;            // room for a whole piece as ConvertBlock writes it
  std::size_t AudioBytes = 0;                 // of which this piece holds these
  std::uint32_t FirstFlacFrame = 0;           // the number of its first FLAC frame in the stream
  std::vector<std::uint8_t> FlacFrames;       // encoded and renumbered, back to back
  std::vector<std::uint32_t> FlacFrameBytes;  // the length of each
  std::string Error;                          // why its encoder failed; empty when it did not
};

// Worker thread: encodes `piece` unless `stop` is raised first; a failure
// is left in piece.Error.
void EncodePiece(const WavFormat& format, int level, FlacPiece& piece,
                 const std::atomic<bool>& stop);

}  // namespace tavrin::exporter
