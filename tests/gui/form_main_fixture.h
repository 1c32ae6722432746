#pragma once
// A recorder window on simulated devices in a private folder, with its
// message boxes answered by the test and its timers driven by hand.

#include <QFileDialog>
#include <QtTest/QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/input_mixer_simulated.h"
#include "platform/paired_wave_in.h"
#include "platform/wave_in_simulated.h"
#include "window_rig.h"

namespace tavrin::testing {

class FakePanels : public platform::SoundPanels {
public:
  bool OpenRecordingSettings(std::string& /*error*/) override {
    ++Opened;
    return true;
  }
  bool OpenPlaybackSettings(std::string& /*error*/) override { return false; }
  bool IsOpen() override { return PanelOpen; }
  int Opened = 0;
  bool PanelOpen = false;
};

// Counts the changes the window asks for, as the login manager would see them.
class FakeInhibitor : public platform::SleepInhibitor {
public:
  void SetRecording(bool recording) override {
    if (recording != Held) ++Changes;
    Held = recording;
  }
  bool Held = false;
  int Changes = 0;
};

struct MainWindowRig : WindowRigBase {
  explicit MainWindowRig(const std::string& name) : WindowRigBase("gui-" + name) {
    std::filesystem::create_directories(Root / "appdata");
    Mixer.SetInputs({{std::string("Line In"), true, 50}});
  }
  ~MainWindowRig() { Form.reset(); }
  recorder_ui::MainWindowServices Services() {
    recorder_ui::MainWindowServices services = BaseServices(Device, Mixer, Panels);
    services.Inhibitor = &Inhibitor;
    services.AppDataDir = (Root / "appdata").string();
    services.FreeBytes = [this](const std::string&) { return FreeBytes; };
    services.User.AskSave = [this](const std::string& text) {
      Questions.push_back(QString::fromStdString(text));
      return SaveAnswer;
    };
    services.User.Confirm = [this](const std::string& text) {
      Questions.push_back(QString::fromStdString(text));
      return Answer;
    };
    services.RestartProgram = [this] { ++Restarts; };
    services.ShowEditor = [this] {
      ++EditorShown;
      DeviceOpenInEditor = State.DeviceOpen;
    };
    services.ExecFileDialog = [this](QFileDialog& dialog) {
      return FileDialog ? FileDialog(dialog) : false;
    };
    services.StartTimers = false;
    return services;
  }
  // The window's device as the program's: the pair over Device and SecondDevice.
  recorder_ui::MainWindowServices PairedServices() {
    recorder_ui::MainWindowServices services = Services();
    services.WaveIn = &Pair;
    services.Pair = &Pair;
    return services;
  }
  recorder_ui::TFormMain& Create() { return Create(Services()); }
  recorder_ui::TFormMain& Create(const recorder_ui::MainWindowServices& services) {
    Form = std::make_unique<recorder_ui::TFormMain>(services);
    Form->show();
    return *Form;
  }
  // The window after its first status tick, which opens the device.
  recorder_ui::TFormMain& CreateMonitoring() { return CreateMonitoring(Services()); }
  recorder_ui::TFormMain& CreateMonitoring(const recorder_ui::MainWindowServices& services) {
    Create(services).TimerStatusTimer();
    return *Form;
  }
  // Runs the device for `buffers` tenths of a second, with the window's timers.
  void Run(int buffers) {
    for (int i = 0; i < buffers; ++i) {
      Device.Advance(4410);
      SecondDevice.Advance(4410);  // nothing unless the pair has it open
      Form->TimerRecTimer();
      if (i % 2 == 1) Form->TimerStatusTimer();
    }
  }
  // Presses Record and runs the device for `buffers` tenths of a second.
  void Record(int buffers) {
    Form->BtnRecordClick();
    Run(buffers);
  }
  std::filesystem::path WorkFolder() const { return Root / "bin" / "Temp"; }

  platform::SimulatedWaveIn Device;
  platform::SimulatedWaveIn SecondDevice;  // lists its own sources, as a second connection does
  platform::PairedWaveIn Pair{Device, SecondDevice};
  platform::SimulatedInputMixer Mixer;
  FakePanels Panels;
  FakeInhibitor Inhibitor;
  std::int64_t FreeBytes = std::int64_t{1} << 40;
  std::vector<QString> Questions;
  bool Answer = true;
  base::SaveAnswer SaveAnswer = base::SaveAnswer::Discard;
  int Restarts = 0;
  int EditorShown = 0;
  bool DeviceOpenInEditor = true;
  std::function<bool(QFileDialog&)> FileDialog;
  std::unique_ptr<recorder_ui::TFormMain> Form;
};

}  // namespace tavrin::testing
