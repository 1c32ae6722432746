#pragma once
// Cut, Copy, Paste, Delete and the insertion that Paste and Insert Silence
// share. Copy fills Clp.raw; Delete, Cut and Insert write a new level; none of
// them changes the take or audio already in Edit.raw.

#include <string_view>

#include "editor/edit_context.h"

namespace tavrin::editor {

inline constexpr const char* kTooLongMessage = "The sound can not be made longer than 10 hours.";

// Copies the selected buffers to the clipboard file from its start.
EditResult Copy(EditContext& context);
// Removes SelStart..SelEnd; the cursor goes to the old SelStart, nothing stays selected.
EditResult Delete(EditContext& context);
// Copy, then Delete of the same selection (no Delete when the Copy failed).
EditResult Cut(EditContext& context);
// kind "Paste" (the clipboard) or "Silence" (SilenceLength zero buffers), any
// case: appends the audio to Edit.raw and splices it in after CursorPos.
EditResult Insert(EditContext& context, std::string_view kind);

}  // namespace tavrin::editor
