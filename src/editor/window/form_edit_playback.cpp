// The editor's playback controls.
#include "editor/window/form_edit.h"

namespace tavrin::editor {

// FIXME: wired to the playback engine once it lands; until then the controls do nothing.
void TFormEdit::SBtnPlayAllClick() {}
void TFormEdit::SBtnPlaySelectionClick() {}
void TFormEdit::SBtnStopClick() {}
void TFormEdit::menuPlayBackClick() {}
void TFormEdit::VolumeHandleIdle() {}

}  // namespace tavrin::editor
