#pragma once
// FLAC on several threads: the audio cut into pieces of whole encoder blocks,
// each piece encoded by a libFLAC stream encoder of its own, with the same
// settings, on a worker thread, and its FLAC frames renumbered for their place
// in the whole stream. The workers see only the pieces: the document, the file
// and the user channel stay with the thread that hands pieces in and takes
// them back, in order (the user-interface thread).

#include <FLAC/stream_encoder.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

// Worker threads encoding the pieces handed in. Every member is called on
// one thread, the one that owns the pool.
class FlacPiecePool {
public:
  // Starts up to `threads` workers for pieces of `format` at `level`; see Threads().
  FlacPiecePool(const WavFormat& format, int level, unsigned threads);
  ~FlacPiecePool() { Stop(); }
  FlacPiecePool(const FlacPiecePool&) = delete;
  FlacPiecePool& operator=(const FlacPiecePool&) = delete;

  // The workers running: fewer than asked when the system would start no
  // more, 0 when it started none (StartError() says why).
  unsigned Threads() const { return static_cast<unsigned>(m_workers.size()); }
  int StartError() const { return m_startError; }

  void Submit(std::unique_ptr<FlacPiece> piece);
  // Pieces handed in and not yet taken back.
  std::size_t Held();
  // The oldest piece handed in once it is encoded, waiting at most `wait`
  // for it; null when there is none or it is not ready.
  std::unique_ptr<FlacPiece> TakeOldest(std::chrono::milliseconds wait);
  // Stops every worker within a few thousand audio frames and waits for
  // them; the pieces held are dropped.
  void Stop();

private:
  struct Slot {
    std::unique_ptr<FlacPiece> Piece;
    bool Encoded = false;
  };
  void Work();

  const WavFormat m_format;
  const int m_level;
  std::mutex m_mutex;
  std::condition_variable m_handedIn;  // a piece to encode, or stop
  std::condition_variable m_encoded;
  std::deque<Slot> m_held;      // in the order handed in; a deque keeps references stable
  std::deque<Slot*> m_waiting;  // handed in, not yet taken by a worker
  std::atomic<bool> m_stop{false};
  std::vector<std::thread> m_workers;
  int m_startError = 0;
};

}  // namespace tavrin::exporter
