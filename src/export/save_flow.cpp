#include "export/save_flow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "export/flac_writer.h"
#include "export/form_progress.h"
#include "export/mp3_writer.h"
#include "export/opus_writer.h"
#include "export/wav_writer.h"
#include "settings/form_save_settings.h"

namespace tavrin::exporter {

namespace {

QString ChannelText(std::uint16_t channels) {
  return channels == 1 ? QStringLiteral("mono ") : QStringLiteral("stereo ");
}

QString ModeText(std::int32_t mode) {
  switch (mode) {
  case 0: return QStringLiteral("stereo ");
  case 1: return QStringLiteral("joint stereo ");
  case 3: return QStringLiteral("mono ");
  default: return {};
  }
}

// Saving() holds from the first dialog to the last byte: nothing from outside
// (a file handed over, a drop) may replace the document a save has measured.
class SavingScope {
public:
  explicit SavingScope(bool& saving) : m_saving(saving) { m_saving = true; }
  ~SavingScope() { m_saving = false; }
  SavingScope(const SavingScope&) = delete;
  SavingScope& operator=(const SavingScope&) = delete;

private:
  bool& m_saving;
};

// The Save As dialog names the file the save will write before its overwrite
// prompt, so that the prompt asks about the file that would be replaced.
class SaveAsDialog : public QFileDialog {
public:
  SaveAsDialog(QWidget* parent, settings::SaveFormat chosen)
      : QFileDialog(parent), m_chosen(chosen) {}

  void accept() override {
    const QStringList files = selectedFiles();
    if (files.size() == 1 && !QFileInfo(files.front()).isDir()) {
      const std::string typed = files.front().toStdString();
      if (const std::string path = TargetOf(typed, m_chosen).Path; path != typed) {
        // The name field takes a new name only while it does not have the focus.
        QWidget* focused = focusWidget();
        if (focused) focused->clearFocus();
        selectFile(QString::fromStdString(path));
        if (focused) focused->setFocus();
      }
    }
    QFileDialog::accept();
  }

private:
  settings::SaveFormat m_chosen;
};

}  // namespace

SaveTarget TargetOf(const std::string& path, settings::SaveFormat chosen) {
  if (const std::optional<settings::SaveFormat> named = settings::FormatOfPath(path)) {
    return {path, *named};
  }
  // "x." gets "x.mp3", not "x..mp3".
  const std::string stem = path.ends_with('.') ? path : path + '.';
  return {stem + settings::FormatExtension(chosen), chosen};
}

SaveFilter BuildSaveFilter(const settings::Settings& settings) {
  SaveFilter filter;
  QString first;
  if (settings.SaveWav) {
    first = QStringLiteral("%1Hz %2bit %3(*.wav)")
                .arg(settings.SamplePerSecond)
                .arg(settings.BitPerSample)
                .arg(ChannelText(settings.Channels));
    filter.DefaultSuffix = QStringLiteral("wav");
  }
  if (settings.SaveMp3) {
    first = QStringLiteral("%1 kbps %2(*.mp3)").arg(settings.BitRate).arg(ModeText(settings.Mode));
    filter.DefaultSuffix = QStringLiteral("mp3");
  }
  if (settings.SaveMp3 && settings.VBR) {
    first = QStringLiteral("VBR %1-%2 kbps %3(*.mp3)")
                .arg(settings.MinBitRate)
                .arg(settings.MaxBitRate)
                .arg(ModeText(settings.Mode));
  }
  if (settings.SaveFlac) {
    first = QStringLiteral("%1Hz %2bit %3level %4 (*.flac)")
                .arg(settings.FlacSamplePerSecond)
                .arg(settings.FlacBitPerSample)
                .arg(ChannelText(settings.FlacChannels))
                .arg(settings.FlacCompression);
    filter.DefaultSuffix = QStringLiteral("flac");
  }
  if (settings.SaveOpus) {
    first = QStringLiteral("%1 kbps %2(*.opus)")
                .arg(settings.OpusBitRate)
                .arg(ChannelText(settings.OpusChannels));
    filter.DefaultSuffix = QStringLiteral("opus");
  }
  filter.Types = {first, QString::fromLatin1(kChangeSettingsType)};
  return filter;
}

SaveFlow::SaveFlow(Services services) : m_services(std::move(services)) {
  if (!m_services.ExecFileDialog) {
    m_services.ExecFileDialog = [](QFileDialog& dialog) {
      return dialog.exec() == QDialog::Accepted;
    };
  }
}

bool SaveFlow::SaveTake(bool& saveRequested) {
  return SaveWholeTake([&] { return ChooseFile(saveRequested); });
}

bool SaveFlow::SaveTakeTo(const std::string& path, std::string* reason) {
  const base::UserChannel user = m_services.User;
  if (reason != nullptr) {
    reason->clear();
    const auto keep = [reason](const std::string& text) {
      *reason += (reason->empty() ? "" : " ") + text;
    };
    m_services.User.ShowMessage = keep;
    m_services.User.ShowWarning = keep;
  }
  const bool written = SaveWholeTake([&] {
    m_format = settings::FormatOfPath(path).value_or(settings::ChosenFormat(*m_services.Settings));
    m_job.OutputPath = path;
    m_job.OutputName = std::filesystem::path(path).filename().string();
    return true;
  });
  m_services.User = user;
  return written;
}

bool SaveFlow::SaveWholeTake(const std::function<bool()>& choose) {
  capture::RecorderState& state = *m_services.State;
  document::EditDocument& document = *m_services.Document;
  // While the editor is open the document is the editor's, not the take.
  if (m_saving || state.Recording || state.AppendingTake || !state.Take.RawStream.IsOpen() ||
      document.EditStream.IsOpen()) {
    return false;
  }
  // The take itself, as the capture engine finished it: its length comes from
  // the file and its order from the take's own wrap, whatever the editor left.
  const auto takeLength =
      static_cast<std::uint32_t>(state.Take.RawStream.Size() / capture::kBufferBytes);
  if (takeLength <= 1) return false;
  const SavingScope saving(m_saving);
  m_job.SaveFirst = 1;
  m_job.SaveLast = takeLength;
  document::BuildLevelZero(document, takeLength, state.Take.FinishedRecordedBuffers,
                           state.Take.FinishedLoopWrapped);
  if (!choose() || WavTooLarge()) return false;
  return RunSave() == WriteResult::Written;
}

bool SaveFlow::WavTooLarge() {
  const settings::Settings& stored = *m_services.Settings;
  // Only a WAV header has 32-bit sizes.
  if (m_format != settings::SaveFormat::Wav || EstimateWavSize(m_job, stored) < kWavSizeLimit) {
    return false;
  }
  m_services.User.Warn("File size is more 4GB!");
  return true;
}

bool SaveFlow::SaveAllAs() {
  return SaveDocument(true);
}

void SaveFlow::SaveSelectionAs() {
  SaveDocument(false);
}

bool SaveFlow::SaveDocument(bool all) {
  document::EditDocument& document = *m_services.Document;
  const std::uint32_t length = document.Length();
  if (m_saving || (m_services.EditBusy != nullptr && *m_services.EditBusy)) return false;
  const SavingScope saving(m_saving);
  m_savingAll = all;
  if (all) {
    m_job.SaveFirst = 1;
    m_job.SaveLast = length;
  } else {
    if (document.SelStart == document.SelEnd) {
      m_services.User.Warn("Please Select Waveform!");
      return false;
    }
    m_job.SaveFirst = document.SelStart;
    // A selection left one past the end by a paste at the end saves what exists.
    m_job.SaveLast = std::min(document.SelEnd, length);
  }
  m_format = settings::ChosenFormat(*m_services.Settings);
  if (WavTooLarge()) return false;
  bool changeRequested = false;
  if (!ChooseFile(changeRequested)) {
    if (changeRequested) {
      SaveAllPending = all;
      SaveSelectionPending = !all;
    }
    return false;
  }
  // A name ending in .wav may have made this a WAV save.
  if (WavTooLarge()) return false;
  if (m_services.StopPlayback) m_services.StopPlayback();
  // No edit may change the document while the writer reads it.
  if (m_services.EditBusy != nullptr) *m_services.EditBusy = true;
  const bool written = RunSave() == WriteResult::Written;
  if (m_services.EditBusy != nullptr) *m_services.EditBusy = false;
  return written;
}

bool SaveFlow::ChooseFile(bool& saveRequested) {
  settings::Settings& stored = *m_services.Settings;
  const SaveFilter filter = BuildSaveFilter(stored);
  const settings::SaveFormat chosen = settings::ChosenFormat(stored);
  SaveAsDialog dialog(m_services.Owner, chosen);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filter.Types);
  dialog.setDefaultSuffix(filter.DefaultSuffix);
  if (OpenedPath.empty()) {
    dialog.setDirectory(QString::fromStdString(stored.OutputFolder));
    dialog.selectFile(QString());
  } else {
    // Saved under its own name, the dialog's overwrite prompt asks first.
    const std::filesystem::path opened(OpenedPath);
    dialog.setDirectory(QString::fromStdString(opened.parent_path().string()));
    dialog.selectFile(QString::fromStdString(opened.stem().string()) + QStringLiteral(".") +
                      filter.DefaultSuffix);
  }
  bool changeRequested = false;
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& type) {
    if (type != QString::fromLatin1(kChangeSettingsType) || changeRequested) return;
    changeRequested = true;
    // Let the file dialog finish switching its type first, then ask.
    QTimer::singleShot(0, &dialog, [&] {
      if (m_services.SaveSettingsDialog) m_services.SaveSettingsDialog->Execute();
      saveRequested = true;
      dialog.reject();
    });
  });
  const bool accepted = m_services.ExecFileDialog(dialog) && !changeRequested;
  if (!accepted || dialog.selectedFiles().isEmpty()) return false;
  const SaveTarget target = TargetOf(dialog.selectedFiles().front().toStdString(), chosen);
  m_format = target.Format;
  const std::filesystem::path path = target.Path;
  m_job.OutputPath = path.string();
  m_job.OutputName = path.filename().string();
  stored.OutputFolder = path.parent_path().string();
  m_services.State->OutputFolder = stored.OutputFolder;
  return true;
}

WriteResult SaveFlow::RunSave() {
  m_job.SaveActive = true;
  m_job.OperationProgress = 0.0f;
  if (m_services.Progress) m_services.Progress->Start(m_job, m_services.Owner);
  ExportContext context{*m_services.Settings, *m_services.Document, *m_services.State, m_job,
                        m_services.User};
  WriteResult result = WriteResult::Failed;
  switch (m_format) {
  case settings::SaveFormat::Wav: result = WriteWav(context); break;
  case settings::SaveFormat::Mp3: result = WriteMp3(context, m_services.EncoderLibraries); break;
  case settings::SaveFormat::Flac: result = WriteFlac(context); break;
  case settings::SaveFormat::Opus: result = WriteOpus(context); break;
  }
  if (m_services.Progress) m_services.Progress->Finish();
  return result;
}

}  // namespace tavrin::exporter
