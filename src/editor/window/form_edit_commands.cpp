// The editor's commands: each runs an engine operation, then lays the view
// out again; the few that are the window's own (saves, folder, help, About).
#include <QCoreApplication>
#include <QProgressBar>

#include "editor/answers.h"
#include "editor/clipboard.h"
#include "editor/effects.h"
#include "editor/levels.h"
#include "editor/window/form_edit.h"
#include "export/save_flow.h"
#include "settings/form_save_settings.h"

namespace tavrin::editor {

bool TFormEdit::BeginCommand() {
  if (Document().EditBusy) return false;
  StopPlaying();
  QCoreApplication::processEvents();
  return true;
}

void TFormEdit::RunCommand(bool withProgress, const std::function<EditResult()>& command) {
  if (!BeginCommand()) return;
  if (withProgress) {
    StatusProgressBar->setValue(0);
    StatusProgressBar->show();
  }
  command();
  StatusProgressBar->hide();
  ResizeView();
}

void TFormEdit::menuUndoClick() {
  RunCommand(false, [this] { return Undo(m_context); });
}

void TFormEdit::menuRedoClick() {
  RunCommand(false, [this] { return Redo(m_context); });
}

void TFormEdit::menuCutClick() {
  RunCommand(true, [this] { return Cut(m_context); });
}

void TFormEdit::menuCopyClick() {
  RunCommand(true, [this] { return Copy(m_context); });
}

void TFormEdit::menuPasteClick() {
  RunCommand(true, [this] { return Insert(m_context, "Paste"); });
}

void TFormEdit::menuDeleteClick() {
  RunCommand(false, [this] { return Delete(m_context); });
}

void TFormEdit::menuSelectAllClick() {
  if (SelectAll(m_context) != EditResult::Done) return;
  RedrawView();
  ShowPositions();
}

void TFormEdit::menuFadeInClick() {
  RunCommand(true, [this] { return FadeIn(m_context); });
}

void TFormEdit::menuFadeOutClick() {
  RunCommand(true, [this] { return FadeOut(m_context); });
}

void TFormEdit::menuNormalizeClick() {
  RunCommand(true, [this] { return Normalize(m_context); });
}

void TFormEdit::menuAmplifyClick() {
  RunCommand(true, [this] {
    const std::int32_t clipping = ClippingLevel(SelectionPeakFactor(Document(), State()));
    const QString prompt = QStringLiteral(
                               "Input Amplification Factor (1-1000%)\nOriginal Level - 100%\n"
                               "Sound Clipping Level - %1")
                               .arg(clipping);
    const AmplifyAnswer answer =
        ParseAmplifyAnswer(AskText(tr("Amplify"), prompt, QStringLiteral("100")).toStdString());
    if (answer.Action == AnswerAction::Invalid) ShowMessage(QString::fromStdString(answer.Message));
    if (answer.Action != AnswerAction::Run) return EditResult::Unchanged;
    return Amplify(m_context, answer.Factor);
  });
}

void TFormEdit::menuSilenceClick() {
  // Playback stops before the box opens, whatever the answer.
  if (!BeginCommand()) return;
  const SilenceAnswer answer = ParseSilenceAnswer(
      AskText(tr("Insert Silence"), tr("Insert Silence in seconds:"), QStringLiteral("0"))
          .toStdString(),
      Document().Length());
  if (answer.Action == AnswerAction::Invalid) ShowMessage(QString::fromStdString(answer.Message));
  if (answer.Action != AnswerAction::Run) return;
  Document().SilenceLength = answer.Buffers;
  RunCommand(true, [this] { return Insert(m_context, "Silence"); });
}

void TFormEdit::menuSaveAllClick() {
  if (m_saveFlow->SaveAllAs())
    m_savedRows = document::LevelRows(Document(), Document().CurrentLevel);
  RedrawView();
}

void TFormEdit::menuSaveSelectionClick() {
  m_saveFlow->SaveSelectionAs();
  RedrawView();
}

void TFormEdit::menuSaveSettingsClick() {
  if (Document().EditBusy) return;
  // The file dialog's type list is built from these settings at every save.
  if (m_services.SaveSettingsDialog) m_services.SaveSettingsDialog->Execute();
}

void TFormEdit::menuExplorerClick() {
  if (Document().EditBusy) return;
  if (m_services.OpenFolder) {
    m_services.OpenFolder(QString::fromStdString(State().OutputFolder));
  }
}

void TFormEdit::menuExitClick() {
  close();
}

void TFormEdit::menuTavrinHelpClick() {
  if (Document().EditBusy) return;
  if (m_services.ShowHelp) m_services.ShowHelp();
}

void TFormEdit::menuAboutClick() {
  if (Document().EditBusy) return;
  if (m_services.ShowAbout) m_services.ShowAbout(this);
}

}  // namespace tavrin::editor
