#include "document/edit_document.h"

#include <algorithm>
#include <cerrno>

namespace tavrin::document {

bool SetLevelRows(EditDocument& document, int level, const std::vector<Segment>& rows) {
  if (level < 0 || level >= kLevelCount || rows.size() > static_cast<std::size_t>(kRowCount)) {
    return false;
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::size_t row = i + 1;
    document.SegmentStart[row][level] = rows[i].Start;
    document.SegmentLength[row][level] = rows[i].Length;
    document.SegmentOffset[row][level] = rows[i].Offset;
    document.SegmentFromTake[row][level] = rows[i].FromTake ? 1 : 0;
  }
  document.SegmentCount[level] = static_cast<std::int16_t>(rows.size());
  return true;
}

std::vector<Segment> LevelRows(const EditDocument& document, int level) {
  std::vector<Segment> rows;
  if (level < 0 || level >= kLevelCount) return rows;
  for (int row = 1; row <= document.SegmentCount[level] && row <= kRowCount; ++row) {
    rows.push_back({document.SegmentStart[row][level], document.SegmentLength[row][level],
                    document.SegmentOffset[row][level], document.SegmentFromTake[row][level] == 1});
  }
  return rows;
}

void BuildLevelZero(EditDocument& document, const Take& take) {
  BuildLevelZero(document, take.TakeLength, take.FinishedRecordedBuffers, take.FinishedLoopWrapped);
}

void BuildLevelZero(EditDocument& document, std::uint32_t length, std::uint32_t recorded,
                    bool loopWrapped) {
  std::vector<Segment> rows;
  std::uint32_t start = 1;
  for (const TakeRun& run : TakeRuns(length, recorded, loopWrapped)) {
    rows.push_back({start, run.Buffers, run.FirstBuffer, true});
    start += run.Buffers;
  }
  SetLevelRows(document, 0, rows);
  document.CurrentLevel = 0;
  document.TopLevel = 0;
  document.LevelLength[0] = length;
}

SourceLocation Locate(const EditDocument& document, std::uint32_t position) {
  const int level = document.CurrentLevel;
  SourceLocation location;
  if (level >= kLevelCount) return location;
  for (int row = 1; row <= document.SegmentCount[level] && row <= kRowCount; ++row) {
    const std::uint32_t start = document.SegmentStart[row][level];
    const std::uint32_t length = document.SegmentLength[row][level];
    if (length > 0 && position >= start && position - start < length) {
      location.Found = true;
      location.Row = row;
      location.FromTake = document.SegmentFromTake[row][level] == 1;
      location.SourceBuffer = document.SegmentOffset[row][level] + (position - start);
      return location;
    }
  }
  return location;
}

std::vector<DocumentRun> DocumentRuns(const EditDocument& document, std::uint32_t first,
                                      std::uint32_t last) {
  std::vector<DocumentRun> runs;
  const int level = document.CurrentLevel;
  if (level >= kLevelCount || first > last) return runs;
  for (int row = 1; row <= document.SegmentCount[level] && row <= kRowCount; ++row) {
    const std::uint64_t start = document.SegmentStart[row][level];
    const std::uint64_t end = start + document.SegmentLength[row][level];  // one past
    const std::uint64_t from = std::max<std::uint64_t>(start, first);
    const std::uint64_t to = std::min<std::uint64_t>(end, std::uint64_t{last} + 1);
    if (from >= to) continue;
    runs.push_back(
        {static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to - from),
         document.SegmentFromTake[row][level] == 1,
         static_cast<std::uint32_t>(document.SegmentOffset[row][level] + (from - start))});
  }
  return runs;
}

const base::File& SourceStream(const EditDocument& document, const Take& take, bool fromTake) {
  return fromTake ? take.RawStream : document.EditStream;
}

const PeakTable& SourcePeaks(const EditDocument& document, const Take& take, bool fromTake) {
  return fromTake ? take.Peaks : document.WorkPeaks;
}

int ReadRun(const EditDocument& document, const Take& take, const DocumentRun& run,
            std::int64_t skipBytes, void* out, std::size_t bytes) {
  return SourceStream(document, take, run.FromTake)
      .ReadAt(run.ByteOffset() + skipBytes, out, bytes);
}

int ReadBuffer(const EditDocument& document, const Take& take, std::uint32_t position,
               std::uint8_t* out) {
  const SourceLocation location = Locate(document, position);
  if (!location.Found) return ENOENT;
  return SourceStream(document, take, location.FromTake)
      .ReadAt(location.ByteOffset(), out, kBufferBytes);
}

std::uint32_t BufferFrames(const EditDocument& document, const Take& take, std::uint32_t position) {
  const SourceLocation location = Locate(document, position);
  if (!location.Found) return 0;
  return location.FromTake ? take.SoundFrames(location.SourceBuffer) : kFramesPerBuffer;
}

std::uint64_t RunFrames(const Take& take, const DocumentRun& run) {
  const std::uint64_t whole = std::uint64_t{run.Buffers} * kFramesPerBuffer;
  if (!run.FromTake || run.Buffers == 0) return whole;
  return whole - kFramesPerBuffer + take.SoundFrames(run.SourceBuffer + run.Buffers - 1);
}

BufferPeaks PeaksAt(const EditDocument& document, const Take& take, std::uint32_t position) {
  const SourceLocation location = Locate(document, position);
  if (!location.Found) return {};
  return RunPeaks(document, take, {position, 1, location.FromTake, location.SourceBuffer}, 0);
}

BufferPeaks RunPeaks(const EditDocument& document, const Take& take, const DocumentRun& run,
                     std::uint32_t index) {
  const std::size_t buffer = std::size_t{run.SourceBuffer} + index;
  const PeakTable& table = SourcePeaks(document, take, run.FromTake);
  return buffer < table.size() ? table[buffer] : BufferPeaks{};
}

std::vector<PlacedMark> DocumentMarks(const EditDocument& document, const Take& take,
                                      std::uint32_t first, std::uint32_t last) {
  std::vector<PlacedMark> placed;
  for (const DocumentRun& run : DocumentRuns(document, first, last)) {
    const MarkTable& marks = run.FromTake ? take.Marks : document.WorkMarks;
    const auto end = marks.lower_bound(run.SourceBuffer + run.Buffers);
    for (auto it = marks.lower_bound(run.SourceBuffer); it != end; ++it) {
      placed.push_back({run.First + (it->first - run.SourceBuffer), it->second});
    }
  }
  return placed;
}

}  // namespace tavrin::document
