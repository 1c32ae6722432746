#include "editor/levels.h"

#include <algorithm>

namespace tavrin::editor {

namespace {

constexpr const char* kTooManyRows =
    "This edit would cut the sound into more than 100 pieces, so it was not made. "
    "Save the sound and open it again to go on editing.";

// Moves levels 1..50 down by one; level 0 is forgotten.
void DropOldestLevel(EditDocument& document) {
  auto shift = [](auto& levels) { std::copy(levels.begin() + 1, levels.end(), levels.begin()); };
  for (int row = 0; row <= kRowCount; ++row) {
    shift(document.SegmentStart[row]);
    shift(document.SegmentLength[row]);
    shift(document.SegmentOffset[row]);
    shift(document.SegmentFromTake[row]);
  }
  for (auto* column : {&document.LevelSelStart, &document.LevelSelEnd, &document.LevelLength,
                       &document.LevelLeftSelStart, &document.LevelLeftSelEnd}) {
    shift(*column);
  }
  shift(document.SegmentCount);
  --document.CurrentLevel;
  if (document.TopLevel > 0) --document.TopLevel;
}

// Moves to `level` and restores the selection it keeps, kept inside the document.
void MoveToLevel(EditContext& context, int level, std::uint32_t selStart, std::uint32_t selEnd) {
  EditSession& document = context.Document;
  document.CurrentLevel = static_cast<std::uint16_t>(level);
  const std::uint32_t length = document.LevelLength[level];
  const std::uint32_t last = std::max<std::uint32_t>(length, 1);
  document.SelStart = std::clamp<std::uint32_t>(selStart, 1, last);
  document.SelEnd = std::clamp<std::uint32_t>(selEnd, document.SelStart, last);
}

}  // namespace

std::vector<RowPiece> CutRows(const EditDocument& document, std::uint32_t first,
                              std::uint32_t last) {
  std::vector<RowPiece> pieces;
  for (const Segment& row : LevelRows(document, document.CurrentLevel)) {
    if (row.Length == 0) continue;
    const std::uint64_t start = row.Start;
    const std::uint64_t end = start + row.Length;  // one past
    const std::uint64_t cuts[] = {start, std::clamp<std::uint64_t>(first, start, end),
                                  std::clamp<std::uint64_t>(std::uint64_t{last} + 1, start, end),
                                  end};
    for (int i = 0; i < 3; ++i) {
      if (cuts[i + 1] <= cuts[i]) continue;
      pieces.push_back(
          {{static_cast<std::uint32_t>(cuts[i]), static_cast<std::uint32_t>(cuts[i + 1] - cuts[i]),
            static_cast<std::uint32_t>(row.Offset + (cuts[i] - start)), row.FromTake},
           i == 1});
    }
  }
  return pieces;
}

std::vector<Segment> Tidy(std::vector<Segment> rows) {
  std::vector<Segment> tidy;
  std::uint32_t start = 1;
  for (const Segment& row : rows) {
    if (row.Length == 0) continue;
    if (!tidy.empty()) {
      Segment& previous = tidy.back();
      if (previous.FromTake == row.FromTake && previous.Offset + previous.Length == row.Offset) {
        previous.Length += row.Length;
        start += row.Length;
        continue;
      }
    }
    tidy.push_back({start, row.Length, row.Offset, row.FromTake});
    start += row.Length;
  }
  return tidy;
}

std::uint32_t LengthOf(const std::vector<Segment>& rows) {
  std::uint32_t length = 0;
  for (const Segment& row : rows) length += row.Length;
  return length;
}

bool FitsInALevel(const EditContext& context, const std::vector<Segment>& rows) {
  if (rows.size() <= static_cast<std::size_t>(kRowCount)) return true;
  context.User.Show(kTooManyRows);
  return false;
}

void CommitLevel(EditContext& context, const std::vector<Segment>& rows,
                 const LevelChange& change) {
  EditSession& document = context.Document;
  if (document.CurrentLevel >= kLevelCount - 1) DropOldestLevel(document);
  const int level = document.CurrentLevel;
  const int next = level + 1;
  document.LevelSelStart[level] = change.ActedStart;
  document.LevelSelEnd[level] = change.ActedEnd;
  SetLevelRows(document, next, rows);
  document.LevelLength[next] = LengthOf(rows);
  document.LevelSelStart[next] = change.LeftStart;
  document.LevelSelEnd[next] = change.LeftEnd;
  document.LevelLeftSelStart[next] = change.LeftStart;
  document.LevelLeftSelEnd[next] = change.LeftEnd;
  document.CurrentLevel = static_cast<std::uint16_t>(next);
  document.TopLevel = static_cast<std::uint16_t>(next);
}

EditResult Undo(EditContext& context) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  if (document.CurrentLevel == 0) return EditResult::Unchanged;
  const int level = document.CurrentLevel - 1;
  MoveToLevel(context, level, document.LevelSelStart[level], document.LevelSelEnd[level]);
  return EditResult::Done;
}

EditResult Redo(EditContext& context) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  if (document.CurrentLevel >= document.TopLevel) return EditResult::Unchanged;
  const int level = document.CurrentLevel + 1;
  MoveToLevel(context, level, document.LevelLeftSelStart[level], document.LevelLeftSelEnd[level]);
  return EditResult::Done;
}

EditResult SelectAll(EditContext& context) {
  EditSession& document = context.Document;
  if (document.EditBusy) return EditResult::Busy;
  document.SelStart = 1;
  // An empty document selects nothing rather than the reversed range 1..0.
  document.SelEnd = std::max<std::uint32_t>(document.Length(), 1);
  return EditResult::Done;
}

}  // namespace tavrin::editor
