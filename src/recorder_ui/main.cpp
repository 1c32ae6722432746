// Tavrin Recorder: settings first, then the recorder window on PulseAudio.
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <memory>
#include <stdexcept>

#include "capture/recorder_state.h"
#include "capture/work_files.h"
#include "platform/input_mixer_pulse.h"
#include "platform/sound_panels_desktop.h"
#include "platform/wave_in_pulse.h"
#include "recorder_ui/form_main.h"
#include "settings/settings.h"

using namespace tavrin;

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tavrin Recorder"));
  const std::string programPath = QCoreApplication::applicationFilePath().toStdString();

  settings::Settings settings;
  const std::string settingsPath = settings::SettingsFilePath(programPath);
  settings::LoadSettings(settings, settingsPath);

  capture::RecorderState state;
  platform::PulseWaveIn waveIn;
  platform::PulseInputMixer mixer;
  platform::DesktopSoundPanels panels;
  QWidget* messageParent = nullptr;

  recorder_ui::MainWindowServices services;
  services.State = &state;
  services.Settings = &settings;
  services.SettingsPath = settingsPath;
  services.WaveIn = &waveIn;
  services.Mixer = &mixer;
  services.Panels = &panels;
  services.ProgramPath = programPath;
  services.AppDataDir = capture::AppDataFolder();
  services.ShowMessage = [&messageParent](const QString& text) {
    QMessageBox::information(messageParent, QStringLiteral("Tavrin Recorder"), text);
  };
  services.Confirm = [&messageParent](const QString& text) {
    return QMessageBox::question(messageParent, QStringLiteral("Tavrin Recorder"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  services.RestartProgram = [] {
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    QCoreApplication::exit(0);
  };

  std::unique_ptr<recorder_ui::TFormMain> form;
  try {
    form = std::make_unique<recorder_ui::TFormMain>(services);
  } catch (const std::runtime_error& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Tavrin Recorder"),
                          QString::fromStdString(error.what()));
    return 1;
  }
  messageParent = form.get();
  form->show();
  return QApplication::exec();
}
