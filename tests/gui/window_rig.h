#pragma once
// What both recorder-window rigs share: a private folder whose bin/ stands
// for the program's folder, the process-wide records, and the window's
// services pointing at them, with every message kept for the test.

#include <QCoreApplication>
#include <QFileDialog>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <algorithm>
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

// Chooses the entry at the end of `path` in the open source menu, down the
// submenus named before it; false when there is none or it is disabled.
inline bool ChooseFromSourceMenu(recorder_ui::TFormMain& form, const QStringList& path) {
  QMenu* menu = form.SourceMenu();
  QAction* chosen = nullptr;
  for (const QString& caption : path) {
    const QList<QAction*> actions = menu ? menu->actions() : QList<QAction*>();
    const auto found = std::find_if(actions.begin(), actions.end(), [&caption](QAction* action) {
      return action->text() == caption;
    });
    chosen = found == actions.end() ? nullptr : *found;
    menu = chosen ? chosen->menu() : nullptr;
  }
  form.SourceMenu()->hide();
  if (!chosen || !chosen->isEnabled() || chosen->menu()) return false;
  chosen->trigger();
  return true;
}

inline bool ChooseFromSourceMenu(recorder_ui::TFormMain& form, const QString& caption) {
  return ChooseFromSourceMenu(form, QStringList{caption});
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
