// The recorder window's buttons, menus, slider and timers.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QLabel>
#include <QLocale>
#include <QUrl>
#include <cmath>
#include <filesystem>

#include "capture/raw_take.h"
#include "capture/signal_processing.h"
#include "editor/window/form_edit.h"
#include "export/save_flow.h"
#include "platform/paired_wave_in.h"
#include "recorder_ui/form_about.h"
#include "recorder_ui/form_main.h"
#include "recorder_ui/form_main_chart.h"
#include "recorder_ui/form_main_surface.h"
#include "recorder_ui/form_main_tray.h"
#include "recovery/test_take.h"
#include "session/recording_controls.h"
#include "session/unattended.h"
#include "settings/form_colors.h"
#include "settings/form_save_settings.h"
#include "settings/help_page.h"

namespace tavrin::recorder_ui {

QString TFormMain::TimeOfDay(int minutesAgo) const {
  return TimeOfDay(QTime::currentTime().addSecs(-60 * minutesAgo));
}

QString TFormMain::TimeOfDay(QTime time) {
  // Asked for five times a second while recording: the locale (which asks the
  // system for its settings when made) and the format are made once.
  static const QLocale locale = QLocale::system();
  static const QString format = [] {
    QString text = locale.timeFormat(QLocale::LongFormat);
    text.remove(QStringLiteral(" t")).remove(QLatin1Char('t'));  // no time zone
    return text.trimmed();
  }();
  return locale.toString(time, format);
}

void TFormMain::BtnRecordClick() {
  // A save in progress reads the take: it must not be replaced under it.
  if (m_session->TakeRunning() || m_saveFlow->Saving()) return;
  // The capture's own words were shown as they came; a refusal of its own is shown here.
  if (const session::Answer answer = m_session->Record(session::Caller::Window);
      !answer.Done && !answer.Text.empty()) {
    m_services.User.Warn(answer.Text);
  }
}

void TFormMain::ShowTakeStarted() {
  m_secondLostAtStart = m_services.Pair ? m_services.Pair->SecondFillFrames() : 0;
  m_secondLostShown = 0;
  DrawTimeBar(m_timeBar, State(), m_colors);
  ClearLevelHistory(m_history);
  for (ChartSeries* series : {&Series1, &Series2, &Series3}) series->Points.clear();
  ChartWave->update();
  m_panels[1]->setText(QStringLiteral("Start-") + TimeOfDay());
  m_panels[2]->clear();
  ShowSourceCaption();
  m_surface->update();
  AnnounceRecordingState();
}

void TFormMain::BtnStopClick() {
  (void)m_session->Stop(session::Caller::Window);  // nothing to stop: nothing to say
}

void TFormMain::ShowTakeEnded() {
  m_panels[2]->setText(tr("End - ") + TimeOfDay());
  AnnounceRecordingState();
}

void TFormMain::BtnEditClick() {
  capture::RecorderState& state = State();
  if (m_session->TakeRunning() || m_saveFlow->Saving()) return;
  std::error_code code;
  // A take kept from an earlier run is offered by the editor even before this run records.
  if (!std::filesystem::exists(state.Take.RawPath, code) && !recovery::TestTakeOffered(state)) {
    ShowMessage(tr("No sound recorded."));
    return;
  }
  RunEditor({});
}

void TFormMain::RunEditor(const std::string& openPath) {
  capture::RecorderState& state = State();
  // The device step ticks on under the modal editor; the capture stays closed
  // until the editor has closed.
  const capture::CaptureHold hold(state);
  capture::CloseCapture(state, m_context);
  if (m_services.ShowEditor) {
    m_services.ShowEditor();
  } else {
    m_editor->Execute(openPath);
  }
  capture::OpenCapture(state, m_context);
}

void TFormMain::CmbBoxTimeChange(int index) {
  capture::ApplyLoopMode(State(), index);
  DrawTimeBarBackground(m_timeBar, State(), m_colors);
  DrawTimeBar(m_timeBar, State(), m_colors);
  m_surface->update();
}

void TFormMain::ChBoxDCClick() {
  if (ChBoxDC->isChecked()) {
    capture::EstimateDcOffset(State());
  } else {
    State().DcOffsetLeft = 0;
    State().DcOffsetRight = 0;
  }
}

void TFormMain::TimerRecTimer() {
  capture::RecorderState& state = State();
  // A take may have ended on its own since the last tick (disk, device, limits).
  m_session->HoldAwake();
  if (m_firstTick) {
    DrawTimeBarBackground(m_timeBar, state, m_colors);
    m_firstTick = false;
  }
  if (!state.DeviceName.empty()) capture::PollCapture(state, m_context);
  ShowSourceLevels();
  if (state.DeviceName.empty()) return;
  capture::RecordDcHistory(state);
  m_levelIcon = LevelIconFor(state.MaxLeft, state.MaxRight);
  if (state.Minimized) setWindowIcon(m_levelIcons[m_levelIcon]);
  m_tray->ShowLevel(m_levelIcon);
}

void TFormMain::TimerStatusTimer() {
  capture::RecorderState& state = State();
  if (state.SaveRequested) {
    state.SaveRequested = false;
    SaveTakeAsked();
  }
  CheckDevice(state, m_deviceCheck, m_context, *m_services.Mixer, *m_services.Panels, m_hooks);
  FollowSecondSource();
  if (ImageVol->x() != m_deviceCheck.KnobLeft) RefreshKnob();
  capture::ComputeDcMeter(state);
  if (m_recordWhenReady && !state.DeviceName.empty()) {
    m_recordWhenReady = false;
    BtnRecordClick();
  }
  const bool wasRecording = state.Recording;
  const session::TakeLimit limit = m_session->Tick();
  ShowUnattended();
  m_tray->ShowStatus();
  CmbBoxTime->setEnabled(!m_session->TakeRunning());
  menuFileClick();  // for the shortcuts of its items
  if (++m_readingTicks % 5 == 0) TellMeterReading();
  if (!wasRecording) return;
  if (limit == session::TakeLimit::None) {
    ShowTimes();
  } else {
    ShowTimeText();  // the end stays in panel 2
  }
  if (state.Minimized) setWindowTitle(QString::fromStdString(state.TimeText));
  if (limit == session::TakeLimit::DiskFull) return;
  // A new scale, or a loop take that has just filled its ring, redraws the whole bar.
  const bool rescaled = session::StepTimeScale(state);
  if (rescaled || state.HalvesWritten == state.LoopHalves) {
    DrawTimeBar(m_timeBar, state, m_colors);
    m_surface->update();
  }
}

void TFormMain::TellMeterReading() {
  // Once a second, what the meters show, for a screen reader.
  const capture::RecorderState& state = State();
  const auto decibels = [](std::int16_t high, std::int16_t low) {
    return PeakDecibelsText(std::max(std::abs(int{high}), std::abs(int{low})));
  };
  const auto percent = [](double offset) { return QString::number(offset / 327.68, 'f', 1); };
  QString reading = !state.DeviceOpen
                        ? tr("没有输入")
                        : tr("输入电平 左 %1 dB，右 %2 dB；直流偏移 左 %3 %，右 %4 %")
                              .arg(decibels(state.MaxLeft, state.MinLeft),
                                   decibels(state.MaxRight, state.MinRight),
                                   percent(state.DcMeterLeft), percent(state.DcMeterRight));
  if (m_services.Pair && !m_services.Settings->SecondSource.empty() && state.DeviceOpen) {
    // Each source's own level, before it went into the take.
    reading += tr("；第一个来源 %1 dB，第二个来源 %2 dB")
                   .arg(PeakDecibelsText(m_services.Pair->FirstPeak()),
                        PeakDecibelsText(m_services.Pair->SecondPeak()));
  }
  if (state.ClipHoldLeft > 0 || state.ClipHoldRight > 0) reading += tr("；削波");
  if (m_session->TakeRunning()) reading += tr("；正在录音");
  if (m_surface->accessibleDescription() != reading) m_surface->setAccessibleDescription(reading);
  for (std::size_t i = 0; i < m_meters.size(); ++i) {
    const QString value = m_meters[i]->ValueText();
    if (value == m_meterValuesTold[i]) continue;
    m_meterValuesTold[i] = value;
    QAccessibleValueChangeEvent changed(m_meters[i], m_meters[i]->Value());
    QAccessible::updateAccessibility(&changed);
  }
}

void TFormMain::AnnounceRecordingState() {
  // A change of what the recorder does is told at once, as an alert on the window.
  const capture::RecorderState& state = State();
  const QString length = QString::fromStdString(capture::PositionText(state.Take.TakeLength));
  QString said;
  if (m_session->TakeRunning()) {
    said = tr("正在录音");
  } else if (state.Take.TakeLength < 2) {
    said = tr("已停止");
  } else {
    said = (m_session->TakeUnsaved() ? tr("已停止，录音 %1 未保存") : tr("已停止，录音 %1 已保存"))
               .arg(length.left(8));
  }
  if (said == accessibleDescription()) return;
  setAccessibleDescription(said);
  QAccessibleEvent alert(this, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

void TFormMain::ShowTimeText() {
  session::FormatTimeRecorded(State());
  const QString time = QString::fromStdString(State().TimeText);
  LabTime->setText(time);
  // Named "Time recorded", it tells a screen reader the time as its description.
  if (LabTime->accessibleDescription() != time) LabTime->setAccessibleDescription(time);
}

void TFormMain::ShowTimes() {
  capture::RecorderState& state = State();
  ShowTimeText();
  m_panels[2]->setText(QStringLiteral("Current-") + TimeOfDay());
  if (state.LoopMode && state.LoopWrapped) {
    m_panels[1]->setText(QStringLiteral("Start-") + TimeOfDay(state.LoopMinutes));
  }
}

void TFormMain::menuFileClick() {
  menuSaveAs->setEnabled(!m_session->TakeRunning() && State().Take.TakeLength >= 2 &&
                         !m_saveFlow->Saving());
  menuOpen->setEnabled(OpenEnabled());
}

void TFormMain::menuSaveAsClick() {
  SaveTakeAsked();
}

void TFormMain::menuSaveSettingsClick() {
  // The file dialog's type list is built from these settings at every save.
  m_saveSettings->Execute();
}

void TFormMain::menuExplorerClick() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(State().OutputFolder)));
}

void TFormMain::menuSkinClick() {
  settings::TFormColors dialog(WorkingWindow());
  m_services.Settings->WindowColor = dialog.Choose(m_services.Settings->WindowColor);
  ApplyColorScheme(m_services.Settings->WindowColor);
}

void TFormMain::menuAboutClick() {
  ShowAboutOver(WorkingWindow());
}

void TFormMain::TavrinRecorderHelpClick() {
  settings::OpenHelpPage(m_services.ProgramPath,
                         [this](const QString& text) { ShowMessage(text); });
}

void TFormMain::ImageVolMouseDown(bool leftButton, int x) {
  VolumeMouseDown(m_deviceCheck, leftButton, x);
}

void TFormMain::ImageVolMouseMove(int x) {
  ShowKnob(true);
  if (VolumeMouseMove(m_deviceCheck, *m_services.Mixer, x)) {
    ImageVol->move(m_deviceCheck.KnobLeft, ImageVol->y());
  }
}

void TFormMain::ImageVolMouseUp() {
  VolumeMouseUp(m_deviceCheck);
}

void TFormMain::ImageVolStep(int pixels) {
  if (!VolumeStep(m_deviceCheck, *m_services.Mixer, pixels)) return;
  ImageVol->move(m_deviceCheck.KnobLeft, ImageVol->y());
  QAccessibleValueChangeEvent changed(ImageVol, VolumeLevel());
  QAccessible::updateAccessibility(&changed);
}

int TFormMain::VolumeLevel() const {
  return LevelForKnobLeft(m_deviceCheck.KnobLeft);
}

void TFormMain::Shape1MouseMove(int x, int y) {
  ShowKnob(false);
  m_surface->setToolTip(InVolumeHintArea(x, y) ? tr("Recording Volume") : QString());
}

}  // namespace tavrin::recorder_ui
