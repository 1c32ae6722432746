#include "editor/clipboard.h"

#include <strings.h>
#include <algorithm>
#include <cstring>
#include <limits>

#include "document/chunked_io.h"
#include "editor/levels.h"

namespace tavrin::editor {

namespace {

bool HasSelection(const EditDocument& document) {
  return document.SelStart < document.SelEnd;
}

float Percent(std::uint64_t done, std::uint64_t span) {
  return span > 0
             ? static_cast<float>(static_cast<double>(done) * 100.0 / static_cast<double>(span))
             : 0.0f;
}

// The audio goes to the clipboard file by in-kernel copies; its peaks come
// from the tables the view draws them from, the same values as measuring the
// audio, which is bit for bit its source's.
EditResult CopySelection(EditContext& context) {
  EditSession& document = context.Document;
  const std::uint32_t first = document.SelStart;
  const std::uint32_t last = document.SelEnd;
  std::vector<BufferPeaks> peaks;
  int error = 0;
  for (const DocumentRun& run : DocumentRuns(document, first, last)) {
    const base::File& source = SourceStream(document, context.State.Take, run.FromTake);
    for (std::uint32_t done = 0; done < run.Buffers && error == 0;) {
      const std::uint32_t count = std::min(kChunkBuffers, run.Buffers - done);
      error = document.ClipStream.CopyFrom(
          source, run.ByteOffset() + std::int64_t{done} * capture::kBufferBytes,
          static_cast<std::int64_t>(peaks.size()) * capture::kBufferBytes,
          std::int64_t{count} * capture::kBufferBytes);
      for (std::uint32_t i = 0; i < count && error == 0; ++i, ++done) {
        peaks.push_back(RunPeaks(document, context.State.Take, run, done));
        document.OperationProgress = Percent(run.First + done - first, last - first);
        context.User.Pump();
      }
    }
  }
  if (error != 0) {
    // The clipboard may hold part of this copy over the last one: it is empty now.
    document.ClipLength = 0;
    document.ClipPeaks.clear();
    return Fail(context, error);
  }
  document.ClipLength = static_cast<std::uint32_t>(peaks.size());
  document.ClipPeaks = std::move(peaks);
  return EditResult::Done;
}

EditResult DeleteSelection(EditContext& context) {
  EditSession& document = context.Document;
  std::vector<Segment> rows;
  for (const RowPiece& piece : CutRows(document, document.SelStart, document.SelEnd)) {
    if (!piece.Inside) rows.push_back(piece.Row);
  }
  rows = Tidy(std::move(rows));
  if (!FitsInALevel(context, rows)) return EditResult::Refused;
  CommitLevel(context, rows, {document.SelStart, document.SelEnd, 1, 1});
  document.CursorPos = document.SelStart;
  document.SelStart = document.SelEnd = 1;
  return EditResult::Done;
}

// Appends `buffers` zero buffers to Edit.raw from `firstByte`, with zero peaks.
int AppendSilence(EditContext& context, std::uint32_t workStart, std::uint32_t buffers) {
  EditSession& document = context.Document;
  ChunkWriter writer(document.EditStream,
                     static_cast<std::int64_t>(workStart) * capture::kBufferBytes);
  for (std::uint32_t k = 1; k <= buffers; ++k) {
    std::memset(writer.Slot(), 0, capture::kBufferBytes);
    StoreWorkPeaks(document, workStart + k, BufferPeaks{});
    if (!writer.Add()) return writer.Error();
    document.OperationProgress = Percent(k, buffers);
    context.User.Pump();
  }
  return writer.Commit() ? 0 : writer.Error();
}

// Appends the clipboard's first `buffers` buffers to Edit.raw, with their peaks.
int AppendClipboard(EditContext& context, std::uint32_t workStart, std::uint32_t buffers) {
  EditSession& document = context.Document;
  for (std::uint32_t done = 0; done < buffers;) {
    const std::uint32_t count = std::min(kChunkBuffers, buffers - done);
    if (const int error = document.EditStream.CopyFrom(
            document.ClipStream, static_cast<std::int64_t>(done) * capture::kBufferBytes,
            static_cast<std::int64_t>(workStart + done) * capture::kBufferBytes,
            static_cast<std::int64_t>(count) * capture::kBufferBytes)) {
      return error;
    }
    for (std::uint32_t i = 0; i < count; ++i, ++done) {
      const BufferPeaks peaks =
          done < document.ClipPeaks.size() ? document.ClipPeaks[done] : BufferPeaks{};
      StoreWorkPeaks(document, workStart + done + 1, peaks);
      document.OperationProgress = Percent(done + 1, buffers);
      context.User.Pump();
    }
  }
  return 0;
}

}  // namespace

EditResult Copy(EditContext& context) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  if (!HasSelection(document)) return EditResult::Unchanged;
  BusyScope busy(document, true);
  return CopySelection(context);
}

EditResult Delete(EditContext& context) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  if (!HasSelection(document)) return EditResult::Unchanged;
  BusyScope busy(document, false);
  return DeleteSelection(context);
}

EditResult Cut(EditContext& context) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  if (!HasSelection(document)) return EditResult::Unchanged;
  BusyScope busy(document, true);
  const EditResult copied = CopySelection(context);
  // Never delete what did not reach the clipboard.
  if (copied != EditResult::Done) return copied;
  return DeleteSelection(context);
}

EditResult Insert(EditContext& context, std::string_view kind) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  const bool paste = kind.size() == 5 && ::strncasecmp(kind.data(), "PASTE", 5) == 0;
  const bool silence = kind.size() == 7 && ::strncasecmp(kind.data(), "SILENCE", 7) == 0;
  if (!paste && !silence) return EditResult::Unchanged;
  if (silence && document.SilenceLength < 0) return EditResult::Unchanged;
  const std::uint32_t inserted =
      paste ? document.ClipLength : static_cast<std::uint32_t>(document.SilenceLength);
  const std::uint32_t length = context.Document.Length();
  if (std::uint64_t{length} + inserted > capture::kTenHoursBuffers) {
    context.User.Show(kTooLongMessage);
    return EditResult::Refused;
  }
  BusyScope busy(document, true);
  WorkFileAppend append(document);
  const std::uint32_t workStart = append.Start();
  // The audio follows the cursor's buffer; a cursor past the end puts it after the last one.
  const std::uint32_t after = std::min(document.CursorPos, length);

  std::vector<Segment> rows;
  bool placed = false;
  for (const RowPiece& piece :
       CutRows(document, after + 1, std::numeric_limits<std::uint32_t>::max() - 1)) {
    if (piece.Inside && !placed) {
      rows.push_back({0, inserted, workStart + 1, false});
      placed = true;
    }
    rows.push_back(piece.Row);
  }
  if (!placed) rows.push_back({0, inserted, workStart + 1, false});
  rows = Tidy(std::move(rows));
  if (!FitsInALevel(context, rows)) return EditResult::Refused;

  GrowWorkPeaks(document, std::size_t{workStart} + inserted + 2);
  const int error = paste ? AppendClipboard(context, workStart, inserted)
                          : AppendSilence(context, workStart, inserted);
  if (error != 0) {
    append.Rollback();
    return Fail(context, error);
  }
  const std::uint32_t at = std::max<std::uint32_t>(after, 1);
  CommitLevel(context, rows, {at, at, after + 1, after + 1 + inserted});
  document.SelStart = after + 1;
  document.SelEnd = after + 1 + inserted;
  return EditResult::Done;
}

}  // namespace tavrin::editor
