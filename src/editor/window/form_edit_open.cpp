// The editor's File > Open and drops: a sound file decoded in place of the
// document, with the progress dialog and Cancel.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <filesystem>
#include <utility>

#include "editor/editor_session.h"
#include "editor/window/form_edit.h"
#include "editor/window/sound_file_choice.h"
#include "export/form_progress.h"
#include "export/save_flow.h"

namespace tavrin::editor {

namespace {

constexpr const char* kDiscardEditsQuestion =
    "The edits will be lost. Are you sure you want to open another file?";

}  // namespace

bool TFormEdit::OpenAvailable() const {
  // A window over the editor (a question, a file dialog, a progress) is working on its document.
  const QWidget* modal = QApplication::activeModalWidget();
  return static_cast<bool>(m_services.OpenSoundFile) && !m_services.Document->EditBusy &&
         !m_saveFlow->Saving() && (modal == nullptr || modal == this);
}

void TFormEdit::menuOpenClick() {
  if (!OpenAvailable() || !m_open) return;
  const std::string folder = m_openFolder.empty() ? State().OutputFolder : m_openFolder;
  const std::string path = ChooseSoundFile(this, m_services.ExecFileDialog, folder);
  if (!path.empty()) OpenFile(path);
}

void TFormEdit::OpenFile(const std::string& path) {
  if (!OpenAvailable() || !m_open) return;
  if (Document().CurrentLevel > 0 && !m_services.User.Ask(kDiscardEditsQuestion)) return;
  StopPlaying();
  if (!OpenSound(path, this)) return;
  CloseEditDocument(m_context);
  if (!OpenEditDocument(m_context)) {
    // Without its work files the editor has nothing to show: it closes.
    close();
    return;
  }
  ShowDocument();
}

bool TFormEdit::OpenSound(const std::string& path, QWidget* over) {
  decode::OpenJob job;
  // No command, save or close while the decoder lets events run; the progress
  // dialog keeps the recorder's controls out (no Record while its take is set aside).
  const BusyScope busy(Document(), false);
  exporter::TFormProgress* progress = m_services.Progress;
  if (progress) {
    progress->Start(QStringLiteral("Opening..."), std::filesystem::path(path).filename().string(),
                    job.Progress, job.Active, over, true);
  }
  std::string message;
  bool alarming = false;
  const decode::OpenResult result =
      OpenSoundFile(m_services.OpenSoundFile, path, State(), m_takeStandIn, job, m_services.User,
                    message, alarming);
  // The progress dialog goes before anything is said over it.
  if (progress) progress->Finish();
  if (result != decode::OpenResult::Opened) {
    if (!message.empty()) m_services.User.Warn(message);
    return false;
  }
  ShowOpenNotice(message, alarming);
  m_openFolder = std::filesystem::path(path).parent_path().string();
  m_saveFlow->OpenedPath = path;
  return true;
}

void TFormEdit::ShowOpenNotice(const std::string& text, bool alarming) {
  const QString notice = QString::fromStdString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
  m_notice->setText(notice);
  m_notice->setToolTip(notice);
  m_notice->setAccessibleName(notice);
  // A box as well for what the user must not miss, once the editor is up.
  m_noticeToWarn = alarming ? text : std::string();
  if (isVisible()) WarnOpenNotice();
}

void TFormEdit::WarnOpenNotice() {
  if (m_noticeToWarn.empty()) return;
  m_services.User.Warn(std::exchange(m_noticeToWarn, {}));
}

void TFormEdit::GiveTakeBack() {
  m_takeStandIn.RestoreRecorderTake(State());
  RemoveOpenedTake(State());
  m_saveFlow->OpenedPath.clear();
}

void TFormEdit::dragEnterEvent(QDragEnterEvent* event) {
  if (m_open && OpenAvailable() && !DroppedFile(event->mimeData()).empty()) {
    event->acceptProposedAction();
  }
}

void TFormEdit::dropEvent(QDropEvent* event) {
  const std::string path = DroppedFile(event->mimeData());
  if (!m_open || !OpenAvailable() || path.empty()) return;
  event->acceptProposedAction();
  // Opened once the drop has returned: the source of the drag is not held meanwhile.
  QMetaObject::invokeMethod(
      this, [this, path] { OpenFile(path); }, Qt::QueuedConnection);
}

}  // namespace tavrin::editor
