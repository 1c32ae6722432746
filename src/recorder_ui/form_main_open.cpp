// The recorder's ways of opening a sound file in the editor: File > Open, a
// drop, the command line and a second start of the program.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>

#include "editor/window/form_edit.h"
#include "editor/window/sound_file_choice.h"
#include "export/save_flow.h"
#include "recorder_ui/form_main.h"

namespace tavrin::recorder_ui {

bool TFormMain::OpenAllowed() const {
  return !m_services.State->Recording && !m_saveFlow->Saving() &&
         QApplication::activeModalWidget() == nullptr;
}

bool TFormMain::OpenEnabled() const {
  return static_cast<bool>(m_services.OpenSoundFile) && !m_services.State->Recording &&
         !m_saveFlow->Saving();
}

void TFormMain::menuOpenClick() {
  if (!OpenEnabled()) return;
  const std::string path =
      editor::ChooseSoundFile(this, m_services.ExecFileDialog, State().OutputFolder);
  if (!path.empty()) OpenFileRequested(path);
}

void TFormMain::OpenFileRequested(const std::string& path) {
  if (!m_services.OpenSoundFile) {
    ShowMessage(QStringLiteral("This build of Tavrin Recorder can not open sound files."));
    return;
  }
  auto refuse = [&](const QString& text) { ShowMessage(text.arg(QString::fromStdString(path))); };
  // The editor open already takes the file in place of its document.
  if (m_editor->isVisible()) {
    if (m_editor->OpenAvailable()) {
      m_editor->OpenFile(path);
    } else {
      refuse(QStringLiteral("The sound editor is busy. Open %1 again once it is done."));
    }
  } else if (State().Recording) {
    refuse(QStringLiteral("Stop recording before opening %1."));
  } else if (!OpenAllowed()) {
    refuse(QStringLiteral("Tavrin Recorder is busy. Open %1 again once it is done."));
  } else {
    RunEditor(path);
  }
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  // Refused while recording or saving: the drag shows it cannot land.
  if (OpenEnabled() && OpenAllowed() && !editor::DroppedFile(event->mimeData()).empty()) {
    event->acceptProposedAction();
  }
}

void TFormMain::dropEvent(QDropEvent* event) {
  const std::string path = editor::DroppedFile(event->mimeData());
  if (!OpenEnabled() || !OpenAllowed() || path.empty()) return;
  event->acceptProposedAction();
  // The editor runs modally: it opens once the drop has returned.
  QMetaObject::invokeMethod(
      this, [this, path] { OpenFileRequested(path); }, Qt::QueuedConnection);
}

}  // namespace tavrin::recorder_ui
