// The editor's waveform view: layout, drawing and the mouse.
#include "editor/window/form_edit.h"

namespace tavrin::editor {

// FIXME: the waveform view is wired here once its module lands.
void TFormEdit::ResizeView() {}
void TFormEdit::RedrawView() {}

}  // namespace tavrin::editor
