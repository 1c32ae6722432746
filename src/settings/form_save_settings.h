#pragma once
// TFormSaveSettings: the modal dialog in which the user chooses the export
// format, WAV, MP3, FLAC or Opus (one page each), and its parameters. OK and
// the close box store what it shows; while that cannot be used (VBR bounds
// reversed) it says why and stays open, the settings unchanged. Cancel and
// Escape leave the settings as they were when it opened.

#include <QDialog>
#include <functional>

#include "settings/dialog_owner.h"
#include "settings/settings.h"

class QCheckBox;
class QComboBox;
class QSlider;
class QTabWidget;

namespace tavrin::settings {

class TFormSaveSettings : public QDialog {
  Q_OBJECT

public:
  // Created once at start-up; `settings` must outlive the dialog. The lists
  // keep their selections from one showing to the next. Each showing belongs
  // to the window `owner` gives then (none: to `parent`). `refuse` shows why
  // what the dialog shows cannot be stored (none: a message box of its own).
  explicit TFormSaveSettings(Settings& settings, QWidget* parent = nullptr, DialogOwner owner = {},
                             std::function<void(const QString&)> refuse = {});

  // Sets the controls from the settings, shows the dialog modally, and stores
  // every control into the settings when it closes by OK or the close box.
  void Execute();

  // Sample rate, channels and bits: the WAV page's lists, which the FLAC page has too.
  struct PcmLists {
    QComboBox* Sps = nullptr;
    QComboBox* Channel = nullptr;
    QComboBox* Bits = nullptr;
  };

  // Every way of closing (OK, Cancel, Escape, close box) ends here.
  void done(int result) override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  QWidget* AddSheet(SaveFormat format, const QString& name);
  void BuildWavSheet();
  void BuildMp3Sheet();
  void BuildFlacSheet();
  void BuildOpusSheet();
  void FormShow();
  void FormClose();
  void PControlFormatChange();
  // The active format's caption in capitals, the others in lower case.
  void RecaseCaptions();
  SaveFormat ActiveFormat() const;

  Settings& m_settings;
  DialogOwner m_owner;
  std::function<void(const QString&)> m_refuse;
  QTabWidget* m_pages = nullptr;
  QWidget* m_sheetWav = nullptr;
  QWidget* m_sheetMp3 = nullptr;
  QWidget* m_sheetFlac = nullptr;
  QWidget* m_sheetOpus = nullptr;
  PcmLists m_wav;
  PcmLists m_flac;
  QSlider* m_flacLevel = nullptr;
  QComboBox* m_opusBitRate = nullptr;
  QComboBox* m_opusChannel = nullptr;
  QComboBox* m_mp3BitRate = nullptr;
  QComboBox* m_mp3Mode = nullptr;
  QCheckBox* m_enableVbr = nullptr;
  QComboBox* m_minBitRate = nullptr;
  QComboBox* m_maxBitRate = nullptr;
  QSlider* m_vbrQuality = nullptr;
  QCheckBox* m_copyright = nullptr;
  QCheckBox* m_original = nullptr;
  QCheckBox* m_private = nullptr;
};

}  // namespace tavrin::settings
