// The recorder window's side of unattended recording: the timer dialog, the
// status texts, and the hooks through which the timer and the sound trigger
// press Record and Stop and save.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <chrono>

#include "editor/window/form_edit.h"
#include "export/save_flow.h"
#include "recorder_ui/autostart.h"
#include "recorder_ui/form_main.h"
#include "recorder_ui/form_timer.h"
#include "recorder_ui/recording_controls.h"
#include "recorder_ui/unattended.h"

namespace tavrin::recorder_ui {

namespace {

schedule::Clocks SystemClocks() {
  return {[] { return QDateTime::currentSecsSinceEpoch(); },
          [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
          }};
}

// A desktop notification where the session has a notification service; none
// is not a fault, so the call is not waited for.
void Notify(const QString& summary, const QString& body) {
  QDBusMessage message = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  message << QStringLiteral("Tavrin Recorder") << 0u << QStringLiteral("tavrin-recorder") << summary
          << body << QStringList() << QVariantMap() << -1;
  QDBusConnection::sessionBus().send(message);
}

}  // namespace

void TFormMain::CreateUnattended() {
  schedule::Clocks clocks = m_services.Clocks.WallSeconds ? m_services.Clocks : SystemClocks();
  UnattendedHooks hooks;
  hooks.CanStart = [this] {
    return !State().Recording && !m_saveFlow->Saving() && !m_editor->isVisible() &&
           QApplication::activeModalWidget() == nullptr;
  };
  hooks.PressRecord = [this] { return RecordTake(); };
  hooks.PressStop = [this] { StopRecording(); };
  hooks.SaveTakeTo = [this](const std::string& path, std::string& reason) {
    const bool written = m_saveFlow->SaveTakeTo(path, &reason);
    if (written) m_takeSaved = true;
    return written;
  };
  hooks.TakeUnsaved = [this] { return TakeUnsaved(); };
  hooks.Tell = [this](const std::string& text, bool notify) { TellUnattended(text, notify); };
  hooks.Changed = [this] { ShowUnattended(); };
  hooks.SaveSettings = [this] { SaveSettingsReportingFailure(); };
  m_unattended = std::make_unique<Unattended>(State(), m_context, *m_services.Settings,
                                              std::move(clocks), std::move(hooks));
  m_unattended->ArmTimer(true);
  HoldAwakeWhileRecording();
}

std::string TFormMain::StatusLine() const {
  std::string line = RecorderStatus();
  if (const int kept = m_unattended->KeptTakes(); kept > 0) {
    line += "; " + std::to_string(kept) + (kept == 1 ? " take" : " takes") + " kept in " +
            m_unattended->KeptFolder() + " until the output folder can take them";
  }
  return line;
}

std::string TFormMain::RecorderStatus() const {
  const capture::RecorderState& state = *m_services.State;
  if (state.Recording) {
    return "recording " + capture::PositionText(BuffersRecorded(state)) + " " + state.SourceCaption;
  }
  switch (m_unattended->Mode()) {
  case UnattendedMode::WaitingForSound: return "waiting for sound";
  case UnattendedMode::RecordingSound:
    return "recording (sound) " + capture::PositionText(BuffersRecorded(state)) + " " +
           state.SourceCaption;
  case UnattendedMode::PausedSilence: return "paused (silence)";
  case UnattendedMode::TimerArmed:
  case UnattendedMode::TimerWaiting: return "armed, starts " + m_unattended->StartText();
  default: break;
  }
  if (state.Take.TakeLength < 2 || !state.Take.RawStream.IsOpen()) return "stopped, no take";
  return "stopped, take " + capture::PositionText(state.Take.TakeLength) +
         (TakeUnsaved() ? " not saved" : " saved");
}

void TFormMain::ShowUnattended() {
  // Panel 1 says what runs by itself, and is cleared once nothing does.
  const QString status = QString::fromStdString(m_unattended->StatusText());
  if (status != m_unattendedShown &&
      (!status.isEmpty() || m_panels[1]->text() == m_unattendedShown))
    m_panels[1]->setText(status);
  m_unattendedShown = status;
  if (State().AppendingTake) ShowTimeText();
}

void TFormMain::TellUnattended(const std::string& text, bool notify) {
  // The widest panel, until the source caption is shown again.
  const QString said = QString::fromStdString(text);
  m_panels[0]->setText(said);
  m_panels[0]->setToolTip(said);
  if (notify) Notify(QStringLiteral("Tavrin Recorder"), said);
}

void TFormMain::menuTimerClick() {
  settings::Settings& stored = *m_services.Settings;
  TimerChoice choice{settings::TimerPlanOf(stored), settings::TriggerOf(stored),
                     AutostartEntryExists(m_services.ConfigHome)};
  TFormTimer dialog(
      WorkingWindow(),
      [] { return static_cast<std::int32_t>(QTime(0, 0).secsTo(QTime::currentTime())); },
      [this](const QString& text) { ShowMessage(text); });
  if (!dialog.Execute(choice)) return;
  // Nothing changes under a take that records by itself.
  settings::StoreTimerPlan(stored, choice.Plan);
  settings::StoreTrigger(stored, choice.Trigger);
  if (!m_services.ConfigHome.empty() &&
      choice.StartAtLogin != AutostartEntryExists(m_services.ConfigHome)) {
    if (const int error =
            SetAutostart(m_services.ConfigHome, m_services.ProgramPath, choice.StartAtLogin);
        error != 0) {
      ShowMessage(QStringLiteral("The start at login could not be changed (%1).")
                      .arg(QString::fromLocal8Bit(std::strerror(error))));
    }
  }
  // Stored once armed: arming sets the day up to which no take starts again.
  if (!m_unattended->Active()) m_unattended->ArmTimer(false);
  SaveSettingsReportingFailure();
  HoldAwakeWhileRecording();
  ShowUnattended();
}

}  // namespace tavrin::recorder_ui
