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
  return !m_session->TakeRunning() && !m_saveFlow->Saving() && !m_openQueued &&
         QApplication::activeModalWidget() == nullptr;
}

bool TFormMain::OpenEnabled() const {
  return static_cast<bool>(m_services.OpenSoundFile) && !m_session->TakeRunning() &&
         !m_saveFlow->Saving();
}

void TFormMain::menuOpenClick() {
  if (!OpenEnabled()) return;
  const std::string path =
      editor::ChooseSoundFile(this, m_services.ExecFileDialog, State().OutputFolder);
  if (!path.empty()) OpenFileRequested(path);
}

QString TFormMain::OpenRefusal(const std::string& path) const {
  const QString file = QString::fromStdString(path);
  if (!m_services.OpenSoundFile) {
    return QStringLiteral("This build of Tavrin Recorder can not open sound files.");
  }
  // The editor open already takes the file in place of its document, unless
  // it is busy or a window of its own (a question, a save) is up.
  if (m_editor->isVisible() && !m_openQueued) {
    return m_editor->OpenAvailable()
               ? QString()
               : QStringLiteral("The sound editor is busy. Open %1 again once it is done.")
                     .arg(file);
  }
  if (m_session->TakeRunning()) {
    return QStringLiteral("Stop recording before opening %1.").arg(file);
  }
  if (!OpenAllowed()) {
    return QStringLiteral("Tavrin Recorder is busy. Open %1 again once it is done.").arg(file);
  }
  return {};
}

void TFormMain::OpenFileRequested(const std::string& path) {
  if (const QString refusal = OpenRefusal(path); !refusal.isEmpty()) {
    ShowMessage(refusal);
  } else if (m_editor->isVisible()) {
    m_editor->OpenFile(path);
  } else {
    RunEditor(path);
  }
}

std::string TFormMain::AcceptOpenRequest(const std::string& path) {
  if (const QString refusal = OpenRefusal(path); !refusal.isEmpty()) return refusal.toStdString();
  // Opened once the sender has its answer; until then a further one is refused.
  m_openQueued = true;
  QMetaObject::invokeMethod(
      this,
      [this, path] {
        m_openQueued = false;
        OpenFileRequested(path);
      },
      Qt::QueuedConnection);
  return {};
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  // Refused while recording or busy: the drag shows it cannot land.
  const std::string path = editor::DroppedFile(event->mimeData());
  if (!path.empty() && OpenRefusal(path).isEmpty()) event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
  const std::string path = editor::DroppedFile(event->mimeData());
  // The editor runs modally: it opens once the drop has returned.
  if (!path.empty() && AcceptOpenRequest(path).empty()) event->acceptProposedAction();
}

}  // namespace tavrin::recorder_ui
