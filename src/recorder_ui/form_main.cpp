#include "recorder_ui/form_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QUrl>
#include <cstring>

#include "capture/run_marker.h"
#include "capture/work_files.h"
#include "editor/window/form_edit.h"
#include "export/form_progress.h"
#include "export/save_flow.h"
#include "recorder_ui/form_about.h"
#include "recorder_ui/form_main_chart.h"
#include "recorder_ui/form_main_surface.h"
#include "recorder_ui/form_main_tray.h"
#include "session/unattended.h"
#include "settings/artwork.h"
#include "settings/form_save_settings.h"
#include "settings/program_files.h"

namespace tavrin::recorder_ui {

namespace {

QString LostText(std::uint64_t frames) {
  return TFormMain::tr("Lost %1 s | ")
      .arg(static_cast<double>(frames) / capture::kSampleRate, 0, 'f', 1);
}

}  // namespace

// Forwards the capture engine's drawing calls to the window.
class TFormMain::Observer : public capture::CaptureObserver {
public:
  explicit Observer(TFormMain& form) : m_form(form) {}
  void PushLevelHistory() override {
    recorder_ui::PushLevelHistory(m_form.m_history, m_form.State(), m_form.m_layout);
  }
  void DrawTimeBarColumn() override {
    if (!recorder_ui::DrawTimeBarColumn(m_form.m_timeBar, m_form.State(),
                                        m_form.m_timeBarColumnShown)) {
      return;
    }
    m_form.m_surface->update(m_form.m_layout.TimeBarLeft, m_form.m_layout.TimeBarTop,
                             m_form.m_timeBar.width(), m_form.m_timeBar.height());
  }
  void DrawLevelMeter() override {
    if (!m_form.State().DeviceOpen) return;
    if (!recorder_ui::DrawLevelMeter(m_form.m_levelBitmap, m_form.State(), m_form.m_peakHold,
                                     m_form.m_levelMeterCache, m_form.m_colors, m_form.m_layout)) {
      return;
    }
    if (const settings::Settings& stored = *m_form.m_services.Settings; stored.SoundActivated) {
      const auto peak = static_cast<std::int16_t>(
          std::min(32767, schedule::ThresholdPeak(stored.SoundThreshold)));
      DrawThresholdMark(m_form.m_levelBitmap, LevelBarLength(peak, 0.0, m_form.m_layout.LevelScale),
                        m_form.m_colors);
    }
    m_form.m_surface->update(m_form.m_layout.LevelX0, m_form.m_layout.LevelY0,
                             m_form.m_levelBitmap.width(), m_form.m_levelBitmap.height());
  }
  void DrawDcMeter() override {
    if (!recorder_ui::DrawDcMeter(m_form.m_dcBitmap, m_form.State(), m_form.DcReductionChecked(),
                                  m_form.m_dcMeterCache, m_form.m_colors, m_form.m_layout)) {
      return;
    }
    m_form.m_surface->update(m_form.m_layout.DcX0, m_form.m_layout.DcY0, m_form.m_dcBitmap.width(),
                             m_form.m_dcBitmap.height());
  }
  void DrawLevelChart() override {
    if (recorder_ui::DrawLevelChart(m_form.m_history, m_form.m_layout, &m_form.Series1,
                                    &m_form.Series2, &m_form.Series3)) {
      m_form.ChartWave->update();
    }
  }
  void FramesLost(std::uint64_t) override { m_form.ShowSourceCaption(); }
  void TakeEnded() override { m_form.m_panels[2]->setText(tr("End - ") + m_form.TimeOfDay()); }
  void BufferCaptured(std::span<const std::uint8_t> buffer) override {
    if (m_form.m_session) m_form.m_session->BufferCaptured(buffer);
  }
  void CaptureRestarted() override {
    if (m_form.m_session) m_form.m_session->CaptureRestarted();
  }

private:
  TFormMain& m_form;
};

TFormMain::TFormMain(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      m_services(std::move(services)),
      m_observer(std::make_unique<Observer>(*this)),
      m_context{*m_services.WaveIn, m_services.User, m_observer.get()} {
  if (!m_services.FreeBytes) m_services.FreeBytes = capture::FreeBytesAt;
  m_hooks.ClearMeters = [this] {
    ClearMeterBitmap(m_levelBitmap, m_colors);
    ClearMeterBitmap(m_dcBitmap, m_colors);
    m_surface->update();
  };
  m_hooks.SaveSettings = [this] { SaveSettingsReportingFailure(); };
  m_hooks.User = m_services.User;
  m_hooks.RestartProgram = [this] { RestartProgram(); };
  m_hooks.Busy = [this] {
    return m_saveFlow->Saving() || m_editor->isVisible() ||
           QApplication::activeModalWidget() != nullptr;
  };
  m_hooks.TakeUnsaved = [this] { return m_session && m_session->TakeUnsaved(); };
  m_hooks.ShowSourceCaption = [this](const std::string&) { ShowSourceCaption(); };
  m_hooks.ShowStatus = [this](const std::string& text) {
    statusBar()->showMessage(QString::fromStdString(text), kStatusWordMs);
  };
  FormCreate();
  connect(&TimerRec, &QTimer::timeout, this, &TFormMain::TimerRecTimer);
  connect(&TimerStatus, &QTimer::timeout, this, &TFormMain::TimerStatusTimer);
  TimerRec.setInterval(100);
  TimerStatus.setInterval(200);
}

TFormMain::~TFormMain() {
  TimerRec.stop();
  TimerStatus.stop();
  capture::CloseCapture(State(), m_context);
  m_session.reset();
  // Without a close the marker stays: the next start keeps what is left.
  State().Marker.Close();
}

void TFormMain::FormCreate() {
  capture::RecorderState& state = State();
  m_levelIcon = 0;
  m_levelIcons = MakeLevelIcons();
  m_layout = LayoutMainWindow(kClientWidth);
  BuildControls();
  BuildMenus();

  settings::Settings& stored = *m_services.Settings;
  const StartUpResult started =
      StartUp(state, stored, m_services.ProgramPath, m_services.AppDataDir, m_services.User);
  {
    const QSignalBlocker quiet(CmbBoxTime);
    CmbBoxTime->setCurrentIndex(started.ModeIndex);
  }
  if (!started.Message.empty()) ShowMessage(QString::fromStdString(started.Message));
  ChooseSource(m_deviceCheck.Source, stored.RecordingSource);
  ApplyPair();

  m_colors = settings::ColorsForScheme(stored.WindowColor);
  m_levelBitmap = MakeLevelMeterBitmap(m_layout);
  m_dcBitmap = MakeDcMeterBitmap();
  m_timeBar = MakeTimeBarImage(m_layout);
  ClearMeterBitmap(m_levelBitmap, m_colors);
  ClearMeterBitmap(m_dcBitmap, m_colors);
  m_knobPicture = settings::KnobPicture(stored.WindowColor);
  m_knobImage = m_knobPicture;
  BtnSource->setIcon(QIcon(QPixmap::fromImage(settings::SourceGlyphVista())));
  setWindowIcon(m_levelIcons[17]);
  ApplyColorScheme(stored.WindowColor);

  // The dialogs that live as long as the window, in the program's creation order.
  m_saveSettings = new settings::TFormSaveSettings(
      stored, this, [this] { return WorkingWindow(); },
      [this](const QString& text) { ShowMessage(text); });
  m_progress = new exporter::TFormProgress(this);
  exporter::SaveFlow::Services saving;
  saving.Owner = this;
  saving.Settings = &stored;
  saving.SaveSettingsDialog = m_saveSettings;
  saving.Progress = m_progress;
  saving.State = &state;
  saving.Document = m_services.Document;
  saving.EncoderLibraries = m_services.EncoderLibraries;
  if (saving.EncoderLibraries.empty()) {
    saving.EncoderLibraries = settings::EncoderLibraryCandidates(m_services.ProgramPath);
  }
  saving.User = m_services.User;
  saving.ExecFileDialog = m_services.ExecFileDialog;
  editor::EditorWindowServices editing;
  editing.State = &state;
  editing.Document = m_services.Document;
  editing.Settings = &stored;
  editing.SaveSettingsDialog = m_saveSettings;
  editing.Progress = m_progress;
  editing.EncoderLibraries = saving.EncoderLibraries;
  editing.WaveOut = m_services.WaveOut;
  editing.Panels = m_services.Panels;
  editing.User = m_services.User;
  editing.ExecFileDialog = m_services.ExecFileDialog;
  editing.ShowHelp = [this] { TavrinRecorderHelpClick(); };
  editing.ShowAbout = [](QWidget* over) { ShowAboutOver(over); };
  editing.OpenFolder = [](const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
  editing.OpenSoundFile = m_services.OpenSoundFile;
  editing.StartTimers = m_services.StartTimers;
  m_saveFlow = std::make_unique<exporter::SaveFlow>(std::move(saving));
  m_editor = new editor::TFormEdit(std::move(editing), this);
  CreateSession();

  if (m_services.WaveIn->GetNumDevs() == 0 &&
      m_services.WaveIn->ListError() != platform::kMmNoError) {
    // The server may come back; the device check follows it then.
    ShowMessage(QStringLiteral("The sound server is not available (%1). Recording can start "
                               "once it is.")
                    .arg(QString::fromStdString(
                        m_services.WaveIn->GetErrorText(m_services.WaveIn->ListError()))));
  } else if (m_services.WaveIn->GetNumDevs() == 0) {
    ShowMessage(tr("Please, select and enable an audio source!"));
    std::string panelError;
    if (!m_services.Panels->OpenRecordingSettings(panelError))
      ShowMessage(QString::fromStdString(panelError));
  }
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  ShowKnob(false);
  DrawTimeBar(m_timeBar, State(), m_colors);
  m_firstTick = true;
  if (m_services.StartTimers && !TimerRec.isActive()) {
    TimerRec.start();
    TimerStatus.start();
  }
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (m_closing || FormCloseQuery()) {
    m_closing = true;
    event->accept();
  } else {
    event->ignore();
  }
}

bool TFormMain::FormCloseQuery() {
  capture::RecorderState& state = State();
  // The writer runs inside this window's event loop; the window stays until it ends.
  if (m_saveFlow && m_saveFlow->Saving()) return false;
  const bool running = m_session->TakeRunning();
  if (running && !Confirm(tr("Are you sure you want to interrupt recording?"))) return false;
  if (!running && !KeepOrDiscardUnsavedTake()) return false;
  m_session->Close();
  TimerRec.stop();
  TimerStatus.stop();
  capture::CloseCapture(state, m_context);
  m_services.Settings->RecordingModeIndex = CmbBoxTime->currentIndex();
  SaveSettingsReportingFailure();
  QCoreApplication::processEvents();
  state.Take.RawStream.Close();
  QCoreApplication::processEvents();
  state.Take.RawPath = state.WorkFolder + "/Tavrin.raw";
  capture::DeleteWorkFiles(state);
  capture::ReleaseRunMarker(state);
  return true;
}

void TFormMain::SaveSettingsReportingFailure() {
  m_services.Settings->OutputFolder = State().OutputFolder;
  m_services.Settings->RecordingSource = m_deviceCheck.Source.Chosen;
  const int error = settings::SaveSettings(*m_services.Settings, m_services.SettingsPath);
  if (error != 0 && !m_settingsFailureShown) {
    m_settingsFailureShown = true;
    ShowMessage(tr("The settings were not saved to %1: %2")
                    .arg(QString::fromStdString(m_services.SettingsPath),
                         QString::fromLocal8Bit(std::strerror(error))));
  }
}

void TFormMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  if (isMinimized() && !State().Minimized) {
    ApplicationMinimized();
  } else if (!isMinimized() && State().Minimized) {
    ApplicationRestored();
  }
}

void TFormMain::ApplicationMinimized() {
  State().Minimized = true;
}

void TFormMain::ApplicationRestored() {
  State().Minimized = false;
  setWindowTitle(QStringLiteral("Tavrin Recorder - ") +
                 QString::fromStdString(State().SourceCaption));
  setWindowIcon(m_levelIcons[17]);
  RepaintMeters();
}

void TFormMain::ShowSourceCaption() {
  const capture::RecorderState& state = State();
  const QString caption = QString::fromStdString(state.SourceCaption);
  // While a take records minimized, the taskbar shows the time instead.
  if (!(state.Minimized && state.Recording)) {
    setWindowTitle(QStringLiteral("Tavrin Recorder - ") + caption);
  }
  // Audio lost in this take stays in view, in the widest panel, until the next Record;
  // the second source's own losses (silence in its place) beside it.
  QString lost = state.LostFrames == 0 ? QString() : LostText(state.LostFrames);
  if (m_secondLostShown > 0) {
    lost += tr("第二个来源缺 %1 秒 | ")
                .arg(static_cast<double>(m_secondLostShown) / capture::kSampleRate, 0, 'f', 1);
  }
  m_panels[0]->setText(lost + caption);
}

bool TFormMain::KeepOrDiscardUnsavedTake() {
  if (!m_session->TakeUnsaved()) return true;
  switch (m_services.User.AskToSave(m_session->UnsavedQuestion())) {
  case base::SaveAnswer::Save: SaveTakeAsked(); return !m_session->TakeUnsaved();
  case base::SaveAnswer::Discard: return true;
  case base::SaveAnswer::Cancel: break;
  }
  return false;
}

void TFormMain::SaveTakeAsked() {
  if (m_saveFlow->SaveTake(State().SaveRequested)) m_session->TakeWritten();
}

void TFormMain::RestartProgram() {
  capture::RecorderState& state = State();
  capture::CloseCapture(state, m_context);
  // The new program claims the work folder at once: this one lets it go first.
  state.Take.RawStream.Close();
  state.Take.RawPath = state.WorkFolder + "/Tavrin.raw";
  capture::DeleteWorkFiles(state);
  capture::ReleaseRunMarker(state);
  if (m_services.RestartProgram) m_services.RestartProgram();
}

QWidget* TFormMain::WorkingWindow() {
  if (m_editor && m_editor->isVisible()) return m_editor;
  return isVisible() ? this : nullptr;
}

void TFormMain::ShowMessage(const QString& text) {
  m_services.User.Show(text.toStdString());
}

bool TFormMain::Confirm(const QString& text) {
  return m_services.User.Ask(text.toStdString());
}

void TFormMain::ApplyColorScheme(int scheme) {
  m_colors = settings::ColorsForScheme(scheme);
  m_knobPicture = settings::KnobPicture(scheme);
  RefreshKnob();
  QPalette textPalette = ChBoxDC->palette();
  textPalette.setColor(QPalette::WindowText, drawing::ToQColor(m_colors.TextColor));
  for (QWidget* label : std::initializer_list<QWidget*>{ChBoxDC, LabAudioDeviceControl,
                                                        LabRecordingControl, LabSourceLevels})
    label->setPalette(textPalette);
  ApplySeriesColors(m_colors, &Series1, &Series2, &Series3);
  ChartWave->SetBackground(ChartBackgroundColor(m_colors));
  ChartWave->update();
  DrawTimeBar(m_timeBar, State(), m_colors);
  RepaintMeters();
}

void TFormMain::RepaintMeters() {
  if (!State().DeviceOpen) {
    ClearMeterBitmap(m_levelBitmap, m_colors);
    ClearMeterBitmap(m_dcBitmap, m_colors);
  }
  m_surface->update();
}

void TFormMain::ShowKnob(bool highlighted) {
  m_knobImage = m_knobPicture;
  DrawKnobOutline(m_knobImage, highlighted);
  ImageVol->update();
}

void TFormMain::RefreshKnob() {
  ShowKnob(false);
  ImageVol->setGeometry(m_deviceCheck.KnobLeft, 88 - m_knobImage.height() / 2, m_knobImage.width(),
                        m_knobImage.height());
}

QString TFormMain::StatusPanelText(int panel) const {
  return m_panels.at(panel)->text();
}
QString TFormMain::SourceLevelsText() const {
  return LabSourceLevels->text();
}
bool TFormMain::SourceLevelsShown() const {
  return LabSourceLevels->isVisible();
}
QString TFormMain::TimeLabelText() const {
  return LabTime->text();
}
QString TFormMain::RecordingModeText() const {
  return CmbBoxTime->currentText();
}
bool TFormMain::RecordingModeEnabled() const {
  return CmbBoxTime->isEnabled();
}
bool TFormMain::SaveAsEnabled() const {
  return menuSaveAs->isEnabled();
}
bool TFormMain::DcReductionChecked() const {
  return ChBoxDC->isChecked();
}

}  // namespace tavrin::recorder_ui
