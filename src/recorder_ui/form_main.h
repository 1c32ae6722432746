#pragma once
// The recorder window: meters, level chart, time bar, recording controls, and
// the two timers that poll the capture (100 ms) and check device, limits and
// times (200 ms). It owns no audio logic: it calls the engines and draws.

#include <QMainWindow>
#include <QTime>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "editor/edit_context.h"
#include "editor/window/open_sound.h"
#include "platform/input_mixer.h"
#include "platform/sleep_inhibitor.h"
#include "platform/sound_panels.h"
#include "platform/wave_out.h"
#include "recorder_ui/device_check.h"
#include "recorder_ui/drawing/drawing.h"
#include "recorder_ui/start_up.h"
#include "schedule/timer_schedule.h"
#include "session/recorder_session.h"
#include "settings/color_schemes.h"
#include "settings/settings.h"

class QCheckBox;
class QFileDialog;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;

namespace tavrin::exporter {
class SaveFlow;
class TFormProgress;
}  // namespace tavrin::exporter
namespace tavrin::settings {
class TFormSaveSettings;
}

namespace tavrin::editor {
class TFormEdit;
}
namespace tavrin::platform {
class PairedWaveIn;
}

namespace tavrin::recorder_ui {

class MainSurface;
class MeterReadout;
class KnobWidget;
class LevelChartView;

// How long a passing word stays in the status bar over the panels.
inline constexpr int kStatusWordMs = 15000;

// Everything the window reaches outside itself; tests pass simulated devices
// and answer the message boxes.
struct MainWindowServices {
  capture::RecorderState* State = nullptr;
  editor::EditSession* Document = nullptr;  // the program's one document, beside State
  settings::Settings* Settings = nullptr;
  std::string SettingsPath;
  platform::WaveIn* WaveIn = nullptr;
  platform::WaveOut* WaveOut = nullptr;  // the editor's playback; none: it plays nothing
  platform::InputMixer* Mixer = nullptr;
  // The capture's device when it can record a second source with the first; none: it can not.
  platform::PairedWaveIn* Pair = nullptr;
  platform::SoundPanels* Panels = nullptr;
  platform::SleepInhibitor* Inhibitor = nullptr;  // none: the machine may sleep as it likes
  std::string ProgramPath;                        // the executable
  std::string AppDataDir;
  std::function<std::int64_t(const std::string&)> FreeBytes;
  // The user, for the window and every engine it drives: main.cpp wires
  // message boxes over the window in use; tests answer instead.
  base::UserChannel User;
  std::function<void()> RestartProgram;
  std::function<void()> ShowEditor;  // tests' stand-in for the modal editor; empty = TFormEdit
  std::function<bool(QFileDialog&)> ExecFileDialog;  // empty = shown modally
  std::vector<std::string> EncoderLibraries;         // empty = EncoderLibraryCandidates
  // Decodes a sound file for the editor; empty = File > Open and drops are not available.
  editor::SoundFileOpener OpenSoundFile;
  bool StartTimers = true;
  // The timer's clocks; empty: the system's wall and monotonic clocks.
  schedule::Clocks Clocks;
  std::string ConfigHome;  // where the autostart entry goes; empty: not offered
};

class TFormMain : public QMainWindow {
  Q_OBJECT
public:
  // Throws AlreadyRunning, and touches no work file, when another program
  // holds the work folder.
  // Throws std::runtime_error("Can not create <folder>") when the work folder
  // cannot be made.
  explicit TFormMain(MainWindowServices services, QWidget* parent = nullptr);
  ~TFormMain() override;

  // Handlers, public so that tests can drive them like the user and the timers do.
  void BtnRecordClick();
  void BtnStopClick();
  void BtnEditClick();
  void BtnSourceClick();
  void CmbBoxTimeChange(int index);
  void ChBoxDCClick();
  void TimerRecTimer();
  void TimerStatusTimer();
  void menuFileClick();
  void menuOpenClick();
  // Opens a sound file in the editor: File > Open, a drop, the command line,
  // a second start. Says why when it cannot now (recording, busy).
  void OpenFileRequested(const std::string& path);
  // Why `path` cannot be opened now (recording, a modal window, a save, an
  // opening or an editor operation under way), or empty when it can.
  QString OpenRefusal(const std::string& path) const;
  // A file from outside the window (a second start): refused at once with the
  // reason, or taken and opened once the caller has returned. One at a time.
  std::string AcceptOpenRequest(const std::string& path);
  bool OpenEnabled() const;
  void menuSaveAsClick();
  void menuSaveSettingsClick();
  void menuTimerClick();
  void menuExplorerClick();
  void menuSkinClick();
  void menuAboutClick();
  void TavrinRecorderHelpClick();
  void ImageVolMouseDown(bool leftButton, int x);
  void ImageVolMouseMove(int x);
  void ImageVolMouseUp();
  // The knob moved by `pixels` from the keyboard or a screen reader.
  void ImageVolStep(int pixels);
  // The recording level the knob stands for, 0..99.
  int VolumeLevel() const;
  void Shape1MouseMove(int x, int y);
  // Applies a colour scheme as the colour dialog's result does.
  void ApplyColorScheme(int scheme);

  // What the window shows, for tests and for the surface's paint.
  capture::RecorderState& State() { return *m_services.State; }
  const settings::WindowColors& Colors() const { return m_colors; }
  const MainLayout& Layout() const { return m_layout; }
  const QImage& LevelMeterBitmap() const { return m_levelBitmap; }
  const QImage& DcMeterBitmap() const { return m_dcBitmap; }
  const QImage& TimeBarImage() const { return m_timeBar; }
  const QImage& KnobImage() const { return m_knobImage; }
  const DeviceCheckState& DeviceCheck() const { return m_deviceCheck; }
  // The sources to record from, shown by the source button and the Options menu.
  QMenu* SourceMenu() const { return m_sourceMenu; }
  QString StatusPanelText(int panel) const;
  // Each source's level as shown, and whether it is shown.
  QString SourceLevelsText() const;
  bool SourceLevelsShown() const;
  QString TimeLabelText() const;
  QString RecordingModeText() const;
  bool RecordingModeEnabled() const;
  bool SaveAsEnabled() const;
  bool DcReductionChecked() const;
  int LevelIcon() const { return m_levelIcon; }
  exporter::SaveFlow& Saver() { return *m_saveFlow; }
  // The recorder behind the window, the tray, the commands, the timer and the trigger.
  session::RecorderSession& Session() { return *m_session; }
  // Record as soon as the device check has found the source (a first start with --record).
  void RecordWhenReady() { m_recordWhenReady = true; }
  // Up and in front, from the tray or minimised (the command line's --show).
  void ShowWindow();
  // A command from the command line, through a second start: "show" here,
  // the others through the session (see RecorderSession::Command).
  void RunCommand(const std::string& verb, const std::string& path,
                  session::RecorderSession::Reply reply);
  // The 100 ms capture timer, whose ticks tests and benchmarks time.
  const QTimer& RecTimer() const { return TimerRec; }
  exporter::TFormProgress& Progress() { return *m_progress; }
  settings::TFormSaveSettings& SaveSettingsDialog() { return *m_saveSettings; }
  // The window the user is working in, which owns every dialog and message
  // box raised: the editor while it is open, else this window once shown
  // (none before, so start-up messages stand on their own).
  QWidget* WorkingWindow();

protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  class Observer;
  class Tray;
  friend class MainSurface;

  void FormCreate();
  void BuildControls();
  void BuildMenus();
  void BuildSourceMenu();
  void FillSourceMenu();
  void SourceChosen(const std::string& name, const std::string& caption);
  // The second source: its menu, a choice, its settings handed to the device,
  // and its going and coming said once.
  void FillPairMenu(bool recording);
  void SecondChosen(const std::string& name);
  void PairChanged(bool reopen);
  void ApplyPair();
  void FollowSecondSource();
  // Each source's own level beside the meters, while a second source is set.
  void ShowSourceLevels();
  void OpenSoundSettings();
  bool FormCloseQuery();
  void ApplicationMinimized();
  void ApplicationRestored();
  void ShowTimes();
  // The large time display from the take's length.
  void ShowTimeText();
  void ShowMessage(const QString& text);
  bool Confirm(const QString& text);
  void RestartProgram();
  // The capture closed while the modal editor shows the take, or `openPath`.
  void RunEditor(const std::string& openPath);
  // Nothing in the way of opening a file: not recording, no save, no dialog.
  bool OpenAllowed() const;
  void CreateSession();
  // What the window shows as a take starts and ends.
  void ShowTakeStarted();
  void ShowTakeEnded();
  void ShowUnattended();
  void TellUnattended(const std::string& text, bool notify);
  // Title and panel 0: the source caption, after the audio lost in this take.
  void ShowSourceCaption();
  void SaveSettingsReportingFailure();
  void RepaintMeters();
  // The meters' accessible description: the levels, the DC offset, clipping, recording.
  void TellMeterReading();
  // "Recording", "Stopped, take 00:03:10 not saved": the window's description, and an alert.
  void AnnounceRecordingState();
  // The scheme's knob with its outline, lit while the pointer is over it.
  void ShowKnob(bool highlighted);
  void RefreshKnob();
  QString TimeOfDay(int minutesAgo = 0) const;
  static QString TimeOfDay(QTime time);

  MainWindowServices m_services;
  std::unique_ptr<Observer> m_observer;
  capture::CaptureContext m_context;
  DeviceCheckState m_deviceCheck;
  DeviceCheckHooks m_hooks;
  MainLayout m_layout;
  settings::WindowColors m_colors;
  LevelHistory m_history;
  PeakHold m_peakHold;
  MeterCache m_levelMeterCache;
  MeterCache m_dcMeterCache;
  TimeBarColumnShown m_timeBarColumnShown;
  QImage m_levelBitmap;
  QImage m_dcBitmap;
  QImage m_timeBar;
  QImage m_knobPicture;  // the scheme's knob
  QImage m_knobImage;    // the knob with its outline, as shown
  std::array<QIcon, 18> m_levelIcons;
  int m_levelIcon = 0;
  bool m_firstTick = false;
  int m_readingTicks = 0;
  bool m_secondPresentShown = true;  // what was last said of the second source
  // The second source's frames filled with silence: as the take began, and
  // since then as last shown (rounded down to a tenth of a second).
  std::uint64_t m_secondLostAtStart = 0;
  std::uint64_t m_secondLostShown = 0;
  bool m_settingsFailureShown = false;
  bool m_closing = false;
  // Before a take never saved would go: Save... (the file dialog), Discard or
  // Cancel. True when it may go (saved or discarded).
  bool KeepOrDiscardUnsavedTake();
  // Save as with its file dialog; the session learns when it wrote.
  void SaveTakeAsked();
  bool m_openQueued = false;  // a file taken from outside waits to open
  bool m_recordWhenReady = false;
  QString m_unattendedShown;  // the timer's or the trigger's status last put in panel 1

  MainSurface* m_surface = nullptr;
  KnobWidget* ImageVol = nullptr;
  std::array<MeterReadout*, 4> m_meters{};  // both channels of both meters, for a screen reader
  std::array<QString, 4> m_meterValuesTold;
  QPushButton* BtnRecord = nullptr;
  QPushButton* BtnStop = nullptr;
  QPushButton* BtnEdit = nullptr;
  QPushButton* BtnSave = nullptr;
  QPushButton* BtnSource = nullptr;
  QComboBox* CmbBoxTime = nullptr;
  QCheckBox* ChBoxDC = nullptr;
  QLabel* LabTime = nullptr;
  QLabel* LabAudioDeviceControl = nullptr;
  QLabel* LabRecordingControl = nullptr;
  QLabel* LabSourceLevels = nullptr;
  ChartSeries Series1;
  ChartSeries Series2;
  ChartSeries Series3;
  LevelChartView* ChartWave = nullptr;
  std::array<QLabel*, 3> m_panels{};
  QAction* menuOpen = nullptr;
  QAction* menuSaveAs = nullptr;
  QAction* menuSaveSettings = nullptr;
  QAction* menuTimer = nullptr;
  QMenu* m_sourceMenu = nullptr;
  settings::TFormSaveSettings* m_saveSettings = nullptr;
  exporter::TFormProgress* m_progress = nullptr;
  std::unique_ptr<exporter::SaveFlow> m_saveFlow;
  std::unique_ptr<session::RecorderSession> m_session;
  editor::TFormEdit* m_editor = nullptr;  // created once, shown by Edit
  QTimer TimerRec;
  QTimer TimerStatus;
  std::unique_ptr<Tray> m_tray;  // the tray icon and the choice to minimise into it
};

}  // namespace tavrin::recorder_ui
