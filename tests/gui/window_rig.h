#pragma once
// What both recorder-window rigs share: a private folder whose bin/ stands
// for the program's folder, the process-wide records, and the window's
// services pointing at them, with every message kept for the test.

#include <QCoreApplication>
#include <QFileDialog>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "capture/recorder_state.h"
#include "document/edit_document.h"
#include "platform/input_mixer.h"
#include "platform/sound_panels.h"
#include "platform/wave_in.h"
#include "recorder_ui/form_main.h"
#include "scratch_folder.h"
#include "settings/settings.h"

namespace tavrin::testing {

// A file dialog the user answers with `path`, read when the dialog opens (so a
// test may point it elsewhere between saves); `path` must outlive the window.
inline std::function<bool(QFileDialog&)> ChoosePath(const std::filesystem::path& path) {
  return [&path](QFileDialog& dialog) {
    dialog.selectFile(QString::fromStdString(path.string()));
    return true;
  };
}

// Opens the source menu as the user does, with the source button; its entries
// as shown (a separator is an empty text).
inline QStringList OpenSourceMenu(recorder_ui::TFormMain& form) {
  form.BtnSourceClick();
  QStringList texts;
  for (const QAction* action : form.SourceMenu()->actions()) texts << action->text();
  return texts;
}

// Chooses the entry `caption` of the open source menu; false when it has none
// or it is disabled.
inline bool ChooseFromSourceMenu(recorder_ui::TFormMain& form, const QString& caption) {
  QMenu& menu = *form.SourceMenu();
  for (QAction* action : menu.actions()) {
    if (action->text() != caption || !action->isEnabled()) continue;
    menu.hide();
    action->trigger();
    return true;
  }
  menu.hide();
  return false;
}

struct WindowRigBase {
  explicit WindowRigBase(const std::string& name) : Scratch(name), Root(Scratch.Path()) {
    std::filesystem::create_directories(Root / "bin");
  }

  // The services every rig gives the window; a rig or test adds the rest.
  recorder_ui::MainWindowServices BaseServices(platform::WaveIn& waveIn,
                                               platform::InputMixer& mixer,
                                               platform::SoundPanels& panels) {
    recorder_ui::MainWindowServices services;
    services.State = &State;
    services.Document = &Document;
    services.Settings = &Settings;
    services.SettingsPath = (Root / "bin" / "tavrin-recorder.INI").string();
    services.WaveIn = &waveIn;
    services.Mixer = &mixer;
    services.Panels = &panels;
    services.ProgramPath = (Root / "bin" / "tavrin-recorder").string();
    services.User.ShowMessage = [this](const std::string& text) {
      Messages.push_back(QString::fromStdString(text));
    };
    services.User.ProcessMessages = [] { QCoreApplication::processEvents(); };
    return services;
  }

  ScratchFolder Scratch;
  std::filesystem::path Root;
  capture::RecorderState State;
  editor::EditSession Document;
  settings::Settings Settings;
  std::vector<QString> Messages;
};

}  // namespace tavrin::testing
