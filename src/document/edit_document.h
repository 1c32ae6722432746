#pragma once
// The edit document: segments that point into the take or into the editor's
// append-only work file, in up to 51 levels (0 = the take as opened) of at
// most 100 rows each, the selection, and the one way to read the document
// through it, used by the editor, the view, playback and the writers.
// User-interface thread only.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/file.h"
#include "document/peaks.h"
#include "document/take.h"

namespace tavrin::document {

inline constexpr int kLevelCount = 51;  // levels 0..50
inline constexpr int kRowCount = 100;   // rows 1..100 (index 0 unused)

template <typename T>
using SegmentColumn = std::array<std::array<T, kLevelCount>, kRowCount + 1>;  // [row][level]

struct EditDocument {
  SegmentColumn<std::uint32_t> SegmentStart{};
  SegmentColumn<std::uint32_t> SegmentLength{};
  SegmentColumn<std::uint32_t> SegmentOffset{};
  SegmentColumn<std::uint8_t> SegmentFromTake{};
  std::array<std::int16_t, kLevelCount> SegmentCount{};
  // The range the operation that starts from a level acted on; Undo to the
  // level restores it.
  std::array<std::uint32_t, kLevelCount> LevelSelStart{};
  std::array<std::uint32_t, kLevelCount> LevelSelEnd{};
  std::array<std::uint32_t, kLevelCount> LevelLength{};
  // The selection the operation that made a level left; Redo restores it.
  std::array<std::uint32_t, kLevelCount> LevelLeftSelStart{};
  std::array<std::uint32_t, kLevelCount> LevelLeftSelEnd{};
  std::uint16_t CurrentLevel = 0;
  std::uint16_t TopLevel = 0;

  std::uint32_t SelStart = 1;
  std::uint32_t SelEnd = 1;
  std::uint32_t CursorPos = 1;

  // Peaks of the work file's buffers, indexed by work-file buffer number (1-based).
  PeakTable WorkPeaks;
  // Marks carried into the work file, on its buffers (1-based).
  MarkTable WorkMarks;

  base::File EditStream;  // Edit.raw, append-only

  // The document's length in buffers: that of its current level. The take
  // keeps its own.
  std::uint32_t Length() const {
    return CurrentLevel < kLevelCount ? LevelLength[CurrentLevel] : 0;
  }
};

// One run of document buffers taken from one source.
struct Segment {
  std::uint32_t Start = 1;   // first document buffer
  std::uint32_t Length = 0;  // buffers
  std::uint32_t Offset = 1;  // first source buffer
  bool FromTake = true;
};

// Where a document position comes from at CurrentLevel.
struct SourceLocation {
  bool Found = false;  // false: no row holds the position
  int Row = 0;
  bool FromTake = true;
  std::uint32_t SourceBuffer = 0;  // 1-based
  std::int64_t ByteOffset() const { return BufferByteOffset(SourceBuffer); }
};

// Consecutive document buffers held by consecutive buffers of one source.
struct DocumentRun {
  std::uint32_t First = 0;  // document buffer
  std::uint32_t Buffers = 0;
  bool FromTake = true;
  std::uint32_t SourceBuffer = 0;  // source buffer of First, 1-based
  std::int64_t ByteOffset() const { return BufferByteOffset(SourceBuffer); }
};

// Rows of `level` in document order. Returns false, writing nothing, when
// there are more than 100 rows or the level is outside 0..50.
bool SetLevelRows(EditDocument& document, int level, const std::vector<Segment>& rows);
std::vector<Segment> LevelRows(const EditDocument& document, int level);

// Level 0 from a finished take (one segment, or two for a wrapped loop take,
// oldest audio first); CurrentLevel = TopLevel = 0, LevelLength[0] = takeLength.
void BuildLevelZero(EditDocument& document, std::uint32_t takeLength, std::uint32_t recordedBuffers,
                    bool loopWrapped);
// The same from a take, in its own order.
void BuildLevelZero(EditDocument& document, const Take& take);

SourceLocation Locate(const EditDocument& document, std::uint32_t position);
// The runs of CurrentLevel that hold positions first..last, in document order;
// positions that no row holds are left out.
std::vector<DocumentRun> DocumentRuns(const EditDocument& document, std::uint32_t first,
                                      std::uint32_t last);
const base::File& SourceStream(const EditDocument& document, const Take& take, bool fromTake);
// The peaks of the same source: the take's or the work file's.
const PeakTable& SourcePeaks(const EditDocument& document, const Take& take, bool fromTake);
// Reads `bytes` of a run, starting `skipBytes` into it. Returns 0 or errno.
int ReadRun(const EditDocument& document, const Take& take, const DocumentRun& run,
            std::int64_t skipBytes, void* out, std::size_t bytes);
// Reads document buffer `position` (17640 bytes) into `out`. Returns 0, or
// errno (ENOENT when no row holds the position).
int ReadBuffer(const EditDocument& document, const Take& take, std::uint32_t position,
               std::uint8_t* out);
// Frames of sound in document buffer `position` (0 when no row holds it) or
// in a run: every buffer is whole but the take's part-filled last one, whose
// padding a save leaves out wherever it stands. Being the take's last
// buffer, it can only end a run.
std::uint32_t BufferFrames(const EditDocument& document, const Take& take, std::uint32_t position);
std::uint64_t RunFrames(const Take& take, const DocumentRun& run);
BufferPeaks PeaksAt(const EditDocument& document, const Take& take, std::uint32_t position);

// A mark where it stands in the document.
struct PlacedMark {
  std::uint32_t Position = 0;  // document buffer, 1-based
  document::Mark Mark;
};
// The marks of document buffers first..last at CurrentLevel, in document
// order: the take's and the work file's, wherever the rows put their audio.
std::vector<PlacedMark> DocumentMarks(const EditDocument& document, const Take& take,
                                      std::uint32_t first, std::uint32_t last);
// The peaks of buffer `index` (0-based) of a run, from its source's table.
BufferPeaks RunPeaks(const EditDocument& document, const Take& take, const DocumentRun& run,
                     std::uint32_t index);

}  // namespace tavrin::document
