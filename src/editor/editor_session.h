#pragma once
// The engine's part of opening and closing the editor: the document at level
// 0 on the take, the work file and clipboard created empty, and on closing
// both removed with the take left as it was.

#include "editor/edit_context.h"

namespace tavrin::editor {

// Level 0 from the finished take, selection, cursor and levels reset,
// Edit.raw and Clp.raw created empty, the work peak tables and the clipboard
// emptied. False, with the system's text shown, when a work file cannot be made.
bool OpenEditDocument(EditContext& context);

// Closes and deletes Edit.raw and Clp.raw; RecordedBuffers = 0 and LoopWrapped
// = false. The take was never changed: the document's length is its own.
void CloseEditDocument(EditContext& context);

}  // namespace tavrin::editor
