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
#include "session/recording_controls.h"
#include "session/unattended.h"

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

void TFormMain::CreateSession() {
  session::SessionHooks hooks;
  hooks.Busy = [this]() -> std::string {
    if (m_editor->isVisible()) return "The sound editor is open; close it first.";
    if (m_saveFlow->Saving()) return "Tavrin Recorder is saving; try again once it is done.";
    if (QApplication::activeModalWidget() != nullptr)
      return "Tavrin Recorder is showing a dialog; answer it first.";
    return {};
  };
  hooks.SaveTakeTo = [this](const std::string& path, std::string& reason) {
    return m_saveFlow->SaveTakeTo(path, &reason);
  };
  hooks.KeepOrDiscard = [this](const std::string&) { return KeepOrDiscardUnsavedTake(); };
  hooks.TakeStarted = [this] { ShowTakeStarted(); };
  hooks.TakeStopped = [this] { ShowTakeEnded(); };
  hooks.Tell = [this](const std::string& text, bool notify) { TellUnattended(text, notify); };
  hooks.Changed = [this] { ShowUnattended(); };
  hooks.SaveSettings = [this] { SaveSettingsReportingFailure(); };
  hooks.Later = [this](std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
  };
  hooks.FreeBytes = m_services.FreeBytes;
  m_session = std::make_unique<session::RecorderSession>(
      State(), m_context, *m_services.Settings, m_services.Inhibitor,
      m_services.Clocks.WallSeconds ? m_services.Clocks : SystemClocks(), std::move(hooks));
  m_session->Start();
  // The device check's words go the same way as the capture's.
  m_hooks.User = m_context.User;
}

void TFormMain::ShowUnattended() {
  // Panel 1 says what runs by itself, and is cleared once nothing does.
  const QString status = QString::fromStdString(m_session->Scheduler().StatusText());
  if (status != m_unattendedShown &&
      (!status.isEmpty() || m_panels[1]->text() == m_unattendedShown))
    m_panels[1]->setText(status);
  m_unattendedShown = status;
  AnnounceRecordingState();
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
  if (!m_session->Scheduler().Active()) m_session->Scheduler().ArmTimer(false);
  SaveSettingsReportingFailure();
  m_session->HoldAwake();
  ShowUnattended();
}

}  // namespace tavrin::recorder_ui
