#include "session/unattended.h"

#include <ctime>
#include <filesystem>

#include "base/error_text.h"
#include "capture/raw_take.h"
#include "session/recording_controls.h"

namespace tavrin::session {

std::string UnattendedFilePath(const std::string& folder, std::int64_t wallSeconds,
                               const std::string& extension) {
  const std::time_t time = static_cast<std::time_t>(wallSeconds);
  std::tm local{};
  localtime_r(&time, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &local);
  const std::filesystem::path base = std::filesystem::path(folder) / stamp;
  std::string path = base.string() + "." + extension;
  std::error_code code;
  for (int n = 2; std::filesystem::exists(path, code) || std::filesystem::is_symlink(path, code);
       ++n) {
    path = base.string() + " (" + std::to_string(n) + ")." + extension;
  }
  return path;
}

Unattended::Unattended(capture::RecorderState& state, capture::CaptureContext& context,
                       settings::Settings& settings, schedule::Clocks clocks, UnattendedHooks hooks)
    : m_state(state),
      m_context(context),
      m_settings(settings),
      m_clocks(clocks),
      m_hooks(std::move(hooks)),
      m_timer(std::move(clocks)) {
  // Takes an earlier run kept are moved on as this run's are.
  m_keptTakes = static_cast<int>(KeptFiles().size());
}

std::string Unattended::KeptFolder() const {
  return (std::filesystem::path(m_state.WorkFolder) / kUnsavedFolder).string();
}

std::vector<std::filesystem::path> Unattended::KeptFiles() const {
  std::vector<std::filesystem::path> files;
  std::error_code code;  // no folder: nothing kept
  for (const auto& entry : std::filesystem::directory_iterator(KeptFolder(), code)) {
    if (entry.is_regular_file(code)) files.push_back(entry.path());
  }
  return files;
}

void Unattended::MoveKeptTakes() {
  // Not while a take is written; waiting for sound is fine.
  if (m_keptTakes == 0 || m_saving || m_state.Recording || m_state.AppendingTake ||
      Now() < m_nextKeptTry) {
    return;
  }
  m_nextKeptTry = Now() + kKeptRetrySeconds;
  namespace fs = std::filesystem;
  std::error_code ignored;  // a folder that can not be made leaves the takes where they are
  fs::create_directories(m_state.OutputFolder, ignored);
  int left = 0;
  for (const fs::path& kept : KeptFiles()) {
    const fs::path target = fs::path(m_state.OutputFolder) / kept.filename();
    std::error_code code;
    // Never over a file of the same name: the kept take waits for the user.
    if (fs::exists(target, code) || fs::is_symlink(target, code)) {
      ++left;
      continue;
    }
    fs::rename(kept, target, code);
    // A copy to another file system takes a while: not while sound is awaited.
    if (code == std::errc::cross_device_link && Active()) {
      ++left;
      continue;
    }
    if (code == std::errc::cross_device_link) {
      code.clear();
      if (fs::copy_file(kept, target, code) && !code) {
        fs::remove(kept, code);
      } else {
        fs::remove(target, ignored);  // a part copy is no take
        if (!code) code = std::make_error_code(std::errc::io_error);
      }
    }
    if (code) {
      ++left;
      continue;
    }
    m_hooks.Tell("Saved " + target.string() + " (kept until the output folder could take it)",
                 true);
  }
  m_keptTakes = left;
}

Unattended::~Unattended() {
  m_state.TapBuffers = false;
}

std::int64_t Unattended::Now() const {
  return m_clocks.WallSeconds();
}

void Unattended::ArmTimer(bool atStartUp) {
  const schedule::TimerPlan plan = settings::TimerPlanOf(m_settings);
  if (!plan.Armed) {
    m_timer.Disarm();
  } else {
    m_timer.Arm(plan, atStartUp, m_settings.TimerLastRunDay);
    // Arming a new plan may give back a day whose take ran under the old one.
    m_settings.TimerLastRunDay = static_cast<std::int32_t>(m_timer.LastRunDay());
  }
  if (m_hooks.Changed) m_hooks.Changed();
}

UnattendedMode Unattended::Mode() const {
  if (m_trigger) {
    switch (m_trigger->Phase()) {
    // The hangover's silence still goes into the take: it records until the
    // event ends, and only a take kept open across the silence is paused.
    case schedule::TriggerPhase::Sounding:
    case schedule::TriggerPhase::Silence: return UnattendedMode::RecordingSound;
    case schedule::TriggerPhase::Waiting:
      return m_state.AppendingTake ? UnattendedMode::PausedSilence
                                   : UnattendedMode::WaitingForSound;
    }
  }
  if (m_timedTake) return UnattendedMode::TimedTake;
  switch (m_timer.Phase()) {
  case schedule::TimerPhase::Armed: return UnattendedMode::TimerArmed;
  case schedule::TimerPhase::Waiting: return UnattendedMode::TimerWaiting;
  default: return UnattendedMode::Off;
  }
}

std::string Unattended::StatusText() const {
  switch (Mode()) {
  case UnattendedMode::WaitingForSound: return "waiting for sound";
  case UnattendedMode::RecordingSound: return "recording (sound)";
  case UnattendedMode::PausedSilence: return "paused (silence)";
  case UnattendedMode::Off: return {};
  default: return m_timer.StatusText();
  }
}

std::string Unattended::StartText() const {
  return schedule::WhenText(m_timer.StartWall(), Now());
}

bool Unattended::Active() const {
  return m_trigger != nullptr || m_timedTake || m_state.AppendingTake;
}

bool Unattended::KeepAwake() const {
  return Active() || m_timer.Phase() != schedule::TimerPhase::Off;
}

bool Unattended::StartSoundSession() {
  if (m_trigger || m_timer.Phase() != schedule::TimerPhase::Off || !m_settings.SoundActivated)
    return false;
  m_timedSession = false;
  return BeginSoundSession();
}

bool Unattended::BeginSoundSession() {
  SaveUnsavedFirst();
  m_trigger = std::make_unique<schedule::SoundTrigger>(settings::TriggerOf(m_settings), 10.0);
  m_failed = false;
  capture::StartBufferTap(m_state);
  if (m_hooks.Changed) m_hooks.Changed();
  return true;
}

void Unattended::EndSoundSession() {
  if (!m_trigger) return;
  m_trigger->Finish(*this);
  m_trigger.reset();
  m_state.TapBuffers = false;
  // Pause keeps one take across its silences: it ends with the session.
  EndTake();
  m_timedSession = false;
  if (m_hooks.Changed) m_hooks.Changed();
}

void Unattended::StopPressed() {
  if (m_trigger) {
    EndSoundSession();
  } else if (m_timedTake) {
    m_timedTake = false;
    m_pendingSave = m_takeStartWall;
  }
  RunPendingWork();
}

void Unattended::StartTimed() {
  if (m_settings.SoundActivated) {
    m_timedSession = BeginSoundSession();
    return;
  }
  SaveUnsavedFirst();
  m_takeStartWall = Now();
  m_timedTake = m_hooks.PressRecord();
}

void Unattended::StopTimed() {
  if (m_trigger) {
    EndSoundSession();
    return;
  }
  if (!m_timedTake) return;
  m_hooks.PressStop();
  m_timedTake = false;
  m_pendingSave = m_takeStartWall;
}

void Unattended::Tick() {
  if (m_saving) return;
  // A timed take that ended on its own (disk, device, the limit, Stop) is saved too.
  if (m_timedTake && !m_state.Recording) {
    m_timedTake = false;
    m_pendingSave = m_takeStartWall;
  }
  if (m_failed) {
    m_failed = false;
    EndSoundSession();
  }
  // The device went away (the server stopped, the device was unplugged): the
  // take so far ends and is saved; the session waits for the device to return.
  if (m_trigger && !m_state.DeviceOpen && m_state.AppendingTake) {
    m_trigger->Restart(*this);
    EndTake();
    m_hooks.Tell("The recording device went away: the sound-activated take so far is saved.", true);
  }
  EnforceLimits();
  RunPendingWork();
  MoveKeptTakes();
  if (m_timer.Phase() == schedule::TimerPhase::Off) return;
  const bool running = m_timedSession ? m_trigger != nullptr : m_timedTake;
  const schedule::TimerDecision decision = m_timer.Tick(m_hooks.CanStart(), running);
  // A take that will not be recorded is also told where the desktop shows it.
  if (!decision.Note.empty())
    m_hooks.Tell(decision.Note, decision.Notice == schedule::TimerNotice::Skipped ||
                                    decision.Notice == schedule::TimerNotice::Missed);
  if (decision.Action == schedule::TimerAction::Start) {
    StartTimed();
    m_settings.TimerLastRunDay = static_cast<std::int32_t>(m_timer.LastRunDay());
    m_hooks.SaveSettings();
  } else if (decision.Action == schedule::TimerAction::Stop) {
    StopTimed();
    RunPendingWork();
  }
  if (m_timer.Phase() == schedule::TimerPhase::Off && m_settings.TimerArmed) {
    // A one-off timer has run (or its time was skipped): it is not armed again at start-up.
    m_settings.TimerArmed = false;
    m_hooks.SaveSettings();
  }
  if (m_hooks.Changed) m_hooks.Changed();
}

void Unattended::EnforceLimits() {
  if (!m_state.AppendingTake) return;
  const bool noSpace = m_state.FreeSeconds < kMinimumFreeSeconds;
  const bool tooLong = !m_state.LoopMode && m_state.AppendedBuffers >= kLengthLimitBuffers;
  if (!noSpace && !tooLong) return;
  // As a take the user records: it ends, is kept and saved, and the user is told.
  EndSoundSession();
  m_context.User.Show(noSpace ? base::NoSpaceText(m_state.ProgramDrive)
                              : std::string("Recording was stopped"));
}

std::string Unattended::SaveUnsavedFirst() {
  // An unattended Record never deletes audio: a take not yet saved is saved
  // first, named by its onset (one kept from an earlier run by now).
  if (!m_hooks.TakeUnsaved()) return {};
  return SaveTake(m_takeStartWall != 0 ? m_takeStartWall : Now());
}

void Unattended::TakeBegan() {
  m_takeStartWall = Now();
}

std::string Unattended::SaveTake(std::int64_t startWall) {
  const std::string extension = settings::FormatExtension(settings::ChosenFormat(m_settings));
  // A missing output folder is made; one that can not be written keeps the
  // take in the work folder's Unsaved, under the same name, so that the next
  // take never replaces it and nobody has to answer anything.
  std::error_code ignored;  // a folder that can not be made fails the save, which says why
  std::filesystem::create_directories(m_state.OutputFolder, ignored);
  const std::string path = UnattendedFilePath(m_state.OutputFolder, startWall, extension);
  std::string reason;
  m_saving = true;
  bool written = m_hooks.SaveTakeTo(path, reason);
  std::string kept;
  if (!written) {
    const std::string unsaved = KeptFolder();
    std::filesystem::create_directories(unsaved, ignored);
    kept = UnattendedFilePath(unsaved, startWall, extension);
    std::string keptReason;
    if (!m_hooks.SaveTakeTo(kept, keptReason)) kept.clear();
  }
  m_saving = false;
  if (reason.empty()) reason = "it could not be written";
  if (written) {
    m_hooks.Tell("Saved " + path, true);
    return path;
  }
  if (!kept.empty()) {
    ++m_keptTakes;
    m_nextKeptTry = Now() + kKeptRetrySeconds;
    m_hooks.Tell("The take could not be saved to " + m_state.OutputFolder + " (" + reason +
                     "); it was kept as " + kept,
                 true);
    return kept;
  }
  m_hooks.Tell("The take was not saved to " + path + " (" + reason + "); it stays in the recorder.",
               true);
  return {};
}

void Unattended::RunPendingWork() {
  while (!m_saving) {
    if (m_pendingSave) {
      const std::int64_t startWall = *m_pendingSave;
      m_pendingSave.reset();
      SaveTake(startWall);
      continue;
    }
    if (m_queued.empty()) break;
    // Sound heard during the save: its take begins now, with everything kept.
    QueuedEvent event = std::move(m_queued.front());
    m_queued.pop_front();
    if (!m_state.AppendingTake && !BeginTake(Now())) {
      m_queued.clear();
      break;
    }
    for (const std::vector<std::uint8_t>& buffer : event.Buffers) Append(buffer);
    if (event.Ended) EndTake();
  }
}

bool Unattended::BeginTake(std::int64_t startWall) {
  if (const int error = capture::BeginAppendedTake(m_state); error != 0) {
    m_context.User.Show(std::string("Sound-activated recording stopped: ") +
                        base::FileErrorText(m_state.ProgramDrive, error));
    m_failed = true;
    return false;
  }
  m_takeStartWall = startWall;
  if (m_hooks.TakeBegan) m_hooks.TakeBegan();
  if (m_hooks.Changed) m_hooks.Changed();
  return true;
}

void Unattended::EndTake() {
  if (!m_state.AppendingTake) return;
  capture::EndAppendedTake(m_state);
  m_pendingSave = m_takeStartWall;
}

void Unattended::EventStarted() {
  if (m_failed) return;
  // The take in hand waits to be saved, or is being saved: this one waits in memory.
  if (m_saving || m_pendingSave || !m_queued.empty()) {
    m_queued.emplace_back();
    return;
  }
  if (m_state.AppendingTake) return;  // pause: the take goes on after its silence
  const auto preRoll = static_cast<std::int64_t>(m_trigger ? m_trigger->PreRollBuffers() / 10 : 0);
  BeginTake(Now() - preRoll);
}

void Unattended::Keep(std::span<const std::uint8_t> buffer) {
  if (!m_queued.empty() && !m_queued.back().Ended) {
    m_queued.back().Buffers.emplace_back(buffer.begin(), buffer.end());
    return;
  }
  Append(buffer);
}

void Unattended::Append(std::span<const std::uint8_t> buffer) {
  if (!m_state.AppendingTake || m_failed) return;
  // A failed write ended the take and told the user; the session ends at the next tick.
  if (!capture::AppendToTake(m_state, m_context, buffer)) {
    m_pendingSave = m_takeStartWall;
    m_failed = true;
  }
}

void Unattended::EventEnded() {
  if (!m_queued.empty() && !m_queued.back().Ended) {
    m_queued.back().Ended = m_settings.SoundSilence == 1;
    return;
  }
  if (m_settings.SoundSilence == 1) EndTake();
  if (m_hooks.Changed) m_hooks.Changed();
}

void Unattended::BufferCaptured(std::span<const std::uint8_t> buffer) {
  if (m_trigger) m_trigger->Feed(buffer, *this);
}

void Unattended::CaptureRestarted() {
  if (!m_trigger) return;
  // The device was opened again (it changed, or the server came back): the
  // take ends as a take the user records would, and is saved.
  const bool hadTake = m_state.AppendingTake;
  m_trigger->Restart(*this);
  EndTake();
  if (hadTake) {
    m_hooks.Tell("The recording device changed: the sound-activated take so far is saved.", false);
  }
}

}  // namespace tavrin::session
