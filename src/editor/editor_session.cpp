#include "editor/editor_session.h"

#include <filesystem>

#include "base/error_text.h"
#include "capture/work_files.h"

namespace tavrin::editor {

bool OpenEditDocument(EditContext& context) {
  EditSession& document = context.Document;
  capture::RecorderState& state = context.State;
  document.SelStart = document.SelEnd = 1;
  document.CursorPos = 1;
  document.LevelSelStart.fill(1);
  document.LevelSelEnd.fill(1);
  document.LevelLeftSelStart.fill(1);
  document.LevelLeftSelEnd.fill(1);
  document.SegmentCount.fill(0);
  BuildLevelZero(document, state.Take);
  document.ClipLength = 0;
  document.ClipPeaks.clear();
  document.OperationProgress = 0.0f;
  document.EditBusy = document.ProgressShown = false;
  document.WorkPeaks.assign(1, BufferPeaks{});  // entry 0: work-file buffers count from 1
  int error = document.EditStream.Create(state.EditPath);
  if (error == 0) error = document.ClipStream.Create(state.ClipPath);
  if (error != 0) {
    document.EditStream.Close();
    document.ClipStream.Close();
    context.User.Show(base::FileErrorText(state.ProgramDrive, error));
    return false;
  }
  return true;
}

void CloseEditDocument(EditContext& context) {
  EditSession& document = context.Document;
  capture::RecorderState& state = context.State;
  document.EditStream.Close();
  document.ClipStream.Close();
  std::error_code ignored;  // a file that is already gone is what we want
  for (const std::string& path : {state.EditPath, state.ClipPath}) {
    if (!path.empty()) std::filesystem::remove(path, ignored);
  }
  state.RecordedBuffers = 0;
  state.LoopWrapped = false;
  document.CurrentLevel = document.TopLevel = 0;
}

EditResult Fail(const EditContext& context, int error) {
  context.User.Show(base::FileErrorText(context.State.ProgramDrive, error));
  return EditResult::Failed;
}

}  // namespace tavrin::editor
