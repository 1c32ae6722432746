#pragma once
// The save flow of a window: the file dialog with its type list built from the
// export settings (its second type opens the save-format dialog and asks for
// the save to start again), the progress dialog, and the writer of the chosen
// format (WAV, MP3, FLAC or Opus).

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "export/save_job.h"

class QFileDialog;
class QWidget;

namespace tavrin::settings {
class TFormSaveSettings;
}

namespace tavrin::exporter {

class TFormProgress;

inline constexpr const char* kChangeSettingsType = "Click here to change save settings";

struct SaveFilter {
  QStringList Types;  // the current format, then the entry that changes the settings
  QString DefaultSuffix;
};

SaveFilter BuildSaveFilter(const settings::Settings& settings);

// The file a save writes and its format, so that the content always matches
// the name: a name that ends in the extension of a format the program writes
// (in any case) is saved in that format, with that format's settings; any
// other name gets the extension of `chosen` appended.
struct SaveTarget {
  std::string Path;
  settings::SaveFormat Format;
};
SaveTarget TargetOf(const std::string& path, settings::SaveFormat chosen);

class SaveFlow {
public:
  struct Services {
    QWidget* Owner = nullptr;
    settings::Settings* Settings = nullptr;
    settings::TFormSaveSettings* SaveSettingsDialog = nullptr;
    TFormProgress* Progress = nullptr;
    capture::RecorderState* State = nullptr;
    document::EditDocument* Document = nullptr;  // the program's one document
    // The editor's busy flag: no save starts while it is set, and it is held
    // while a save of the editor's document writes.
    bool* EditBusy = nullptr;
    std::vector<std::string> EncoderLibraries;  // tried in order
    base::UserChannel User;
    // Shows the file dialog modally; tests answer it instead. True = accepted.
    std::function<bool(QFileDialog&)> ExecFileDialog;
    // The editor's: stops playback before a save starts writing.
    std::function<void()> StopPlayback;
  };

  explicit SaveFlow(Services services);

  // The recorder's save of the whole take, oldest audio first. Sets
  // `saveRequested` when the user changed the settings from the file dialog.
  // True when the take was written to a file.
  bool SaveTake(bool& saveRequested);
  // The same save to `path`, without a dialog (a take recorded unattended, a
  // command): in the format its extension names, else the chosen one. With
  // `reason`, what a failure has to say goes there and no box is shown, for a
  // caller that nobody may be watching.
  bool SaveTakeTo(const std::string& path, std::string* reason = nullptr);
  // The editor's saves of the whole document and of its selection. A change of
  // the save settings from the file dialog sets SaveAllPending or
  // SaveSelectionPending, for the editor's status timer to start it again.
  bool SaveAllAs();  // true when the document was written
  void SaveSelectionAs();
  bool SaveAllPending = false;
  bool SaveSelectionPending = false;
  // The sound file the editor opened, if any: the file dialog starts in its
  // folder with its name (and the save format's extension).
  std::string OpenedPath;
  // A save is under way: from its first dialog to its last byte.
  bool Saving() const { return m_saving; }
  SaveJob& Job() { return m_job; }
  const document::EditDocument& Document() const { return *m_services.Document; }

private:
  bool ChooseFile(bool& saveRequested);
  // Saves the whole take to the file that `choose` names; false when nothing was written.
  bool SaveWholeTake(const std::function<bool()>& choose);
  bool SaveDocument(bool all);
  bool WavTooLarge();
  WriteResult RunSave();

  Services m_services;
  SaveJob m_job;
  // The format of the save under way; the stored choice stays as it is.
  settings::SaveFormat m_format = settings::SaveFormat::Mp3;
  bool m_saving = false;
  bool m_savingAll = false;
};

}  // namespace tavrin::exporter
