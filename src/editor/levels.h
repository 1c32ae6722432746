#pragma once
// Building the rows of a new level from the current one, and moving between
// levels: the shared steps of every editing operation, Undo and Redo.

#include <cstdint>
#include <vector>

#include "editor/edit_context.h"

namespace tavrin::editor {

// A part of a row cut at the edges of a range: inside or outside it.
struct RowPiece {
  Segment Row;
  bool Inside = false;
};

// The rows of the current level cut where document buffers first..last begin
// and end, in document order; empty rows are left out.
std::vector<RowPiece> CutRows(const EditDocument& document, std::uint32_t first,
                              std::uint32_t last);

// Gives the rows contiguous starts from buffer 1, drops empty rows and merges
// neighbours that continue each other in the same source.
std::vector<Segment> Tidy(std::vector<Segment> rows);

std::uint32_t LengthOf(const std::vector<Segment>& rows);

// False, with the message shown, when `rows` cannot be a level.
bool FitsInALevel(const EditContext& context, const std::vector<Segment>& rows);

// What an operation records with its new level.
struct LevelChange {
  std::uint32_t ActedStart = 1;  // the range it acted on, restored by Undo
  std::uint32_t ActedEnd = 1;
  std::uint32_t LeftStart = 1;  // the selection it leaves, restored by Redo
  std::uint32_t LeftEnd = 1;
};

// Writes `rows` (tidy, at most 100) as level CurrentLevel + 1 and makes it the
// current and top level. At level 50 the oldest
// level is dropped first, so that editing can always go on.
void CommitLevel(EditContext& context, const std::vector<Segment>& rows, const LevelChange& change);

EditResult Undo(EditContext& context);
EditResult Redo(EditContext& context);
EditResult SelectAll(EditContext& context);

}  // namespace tavrin::editor
