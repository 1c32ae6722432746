#include "editor/window/sound_file_choice.h"

#include <QFileDialog>
#include <QMimeData>
#include <QUrl>

namespace tavrin::editor {

std::string ChooseSoundFile(QWidget* owner, const std::function<bool(QFileDialog&)>& exec,
                            const std::string& folder) {
  QFileDialog dialog(owner);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Sound files (*.wav *.flac *.mp3 *.ogg *.oga *.opus "
                                        "*.aif *.aiff *.m4a *.aac *.mp4 *.webm *.mka *.mkv "
                                        "*.wma *.ac3 *.mov)"),
                         QStringLiteral("All files (*)")});
  dialog.setDirectory(QString::fromStdString(folder));
  const bool accepted = exec ? exec(dialog) : dialog.exec() == QDialog::Accepted;
  if (!accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

std::string DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile().toStdString();
  }
  return {};
}

}  // namespace tavrin::editor
