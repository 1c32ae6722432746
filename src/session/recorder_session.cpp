#include "session/recorder_session.h"

#include <cstdio>
#include <optional>

namespace tavrin::session {

namespace {

template <typename Hook, typename... Args>
void Call(const Hook& hook, Args&&... args) {
  if (hook) hook(std::forward<Args>(args)...);
}

// Marks the timer's and the trigger's own steps for as long as it lives.
class StepScope {
public:
  explicit StepScope(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
  ~StepScope() { m_flag = m_was; }
  StepScope(const StepScope&) = delete;
  StepScope& operator=(const StepScope&) = delete;

private:
  bool& m_flag;
  bool m_was;
};

constexpr const char* kSavingText = "Tavrin Recorder is saving; try again once it is done.";

}  // namespace

// While it lives, what the capture says goes to the operation instead of
// the user, to be answered to its caller.
class RecorderSession::Said {
public:
  explicit Said(RecorderSession& session) : m_session(session), m_outer(session.m_said) {
    m_session.m_said = this;
  }
  ~Said() { m_session.m_said = m_outer; }
  Said(const Said&) = delete;
  Said& operator=(const Said&) = delete;
  void Add(const std::string& text) { m_text += (m_text.empty() ? "" : " ") + text; }
  const std::string& Text() const { return m_text; }

private:
  RecorderSession& m_session;
  Said* m_outer;
  std::string m_text;
};

RecorderSession::RecorderSession(capture::RecorderState& state, capture::CaptureContext& context,
                                 settings::Settings& settings, platform::SleepInhibitor* inhibitor,
                                 schedule::Clocks clocks, SessionHooks hooks)
    : m_state(state),
      m_context(context),
      m_settings(settings),
      m_inhibitor(inhibitor),
      m_hooks(std::move(hooks)),
      m_user(context.User) {
  // Whatever the capture says while nobody may be there (a timed or a
  // sound-activated take) goes to the status bar and a notification, never
  // into a box that waits; an operation's own words go back to its caller.
  const auto route = [this](const std::string& text, bool warning) {
    if (m_said) {
      m_said->Add(text);
    } else if (NobodyThere()) {
      Call(m_hooks.Tell, text, true);
    } else if (warning) {
      m_user.Warn(text);
    } else {
      m_user.Show(text);
    }
  };
  m_context.User.ShowMessage = [route](const std::string& text) { route(text, false); };
  m_context.User.ShowWarning = [route](const std::string& text) { route(text, true); };

  UnattendedHooks unattended;
  unattended.CanStart = [this] { return !m_state.Recording && BusyReason().empty(); };
  unattended.PressRecord = [this] { return StartTake(); };
  unattended.PressStop = [this] { StopTake(); };
  unattended.SaveTakeTo = [this](const std::string& path, std::string& reason) {
    const bool written = m_hooks.SaveTakeTo && m_hooks.SaveTakeTo(path, reason);
    if (written) m_takeSaved = true;
    return written;
  };
  unattended.TakeUnsaved = [this] { return TakeUnsaved(); };
  unattended.TakeBegan = [this] { m_takeSaved = m_takeReleased = false; };
  unattended.Tell = [this](const std::string& text, bool notify) {
    Call(m_hooks.Tell, text, notify);
  };
  unattended.Changed = [this] { Call(m_hooks.Changed); };
  unattended.SaveSettings = [this] { Call(m_hooks.SaveSettings); };
  m_unattended = std::make_unique<session::Unattended>(m_state, m_context, m_settings,
                                                       std::move(clocks), std::move(unattended));
}

void RecorderSession::Start() {
  m_unattended->ArmTimer(true);
  HoldAwake();
}

RecorderSession::~RecorderSession() {
  m_unattended.reset();
  m_context.User = m_user;
  if (m_inhibitor) m_inhibitor->SetRecording(false);
}

bool RecorderSession::NobodyThere() const {
  return m_unattendedStep || (m_unattended && m_unattended->Active());
}

std::string RecorderSession::BusyReason() const {
  if (std::string busy = m_hooks.Busy ? m_hooks.Busy() : std::string(); !busy.empty()) return busy;
  return m_unattended->Saving() ? kSavingText : "";
}

bool RecorderSession::TakeRunning() const {
  return m_state.Recording || m_unattended->Active();
}

bool RecorderSession::TakeUnsaved() const {
  return !m_takeSaved && !m_takeReleased && m_state.Take.RawStream.IsOpen() &&
         m_state.Take.RawStream.Size() > std::int64_t{capture::kBufferBytes};
}

std::string RecorderSession::UnsavedQuestion() const {
  // Whole seconds, a started one counted: a take is never called 00:00:00.
  const auto buffers = m_state.Take.RawStream.Size() / capture::kBufferBytes;
  const auto seconds = static_cast<unsigned>((buffers + 9) / 10);
  char length[16];
  std::snprintf(length, sizeof length, "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return std::string("The take (") + length + ") has not been saved. Save it?";
}

void RecorderSession::HoldAwake() {
  if (m_inhibitor) m_inhibitor->SetRecording(m_state.Recording || m_unattended->KeepAwake());
}

bool RecorderSession::StartTake() {
  if (m_state.Recording || m_state.AppendingTake) return false;
  if (!capture::StartTake(m_state, m_context)) return false;
  m_takeSaved = m_takeReleased = false;
  m_unattended->TakeBegan();
  HoldAwake();
  Call(m_hooks.TakeStarted);
  return true;
}

void RecorderSession::StopTake() {
  if (!m_state.Recording) return;
  const capture::CaptureHold hold(m_state);  // StopTake lets events run between close and open
  capture::StopTake(m_state, m_context);
  HoldAwake();
  Call(m_hooks.TakeStopped);
}

Answer RecorderSession::Record(Caller caller) {
  if (TakeRunning()) return {false, "Tavrin Recorder is already recording."};
  // The window's own buttons cannot be pressed under its dialogs; the tray's
  // menu and the command line can.
  if (caller != Caller::Window) {
    if (std::string busy = BusyReason(); !busy.empty()) return {false, busy};
  }
  std::string savedAs;
  if (TakeUnsaved()) {
    if (caller == Caller::Window || caller == Caller::Tray) {
      if (!m_hooks.KeepOrDiscard || !m_hooks.KeepOrDiscard(UnsavedQuestion())) return {};
      if (TakeUnsaved()) m_takeReleased = true;  // Discard
    } else if (savedAs = m_unattended->SaveUnsavedFirst(); TakeUnsaved()) {
      return {false, "The take before could not be saved, so it was kept; nothing was recorded."};
    }
  }
  // A person at the window reads the capture's words in a box as they come.
  std::optional<Said> said;
  if (caller != Caller::Window) said.emplace(*this);
  // With sound activation on (and no timer to start it), Record waits for sound.
  if (!(m_settings.SoundActivated && m_unattended->StartSoundSession())) StartTake();
  HoldAwake();
  Call(m_hooks.Changed);
  const std::string words = said ? said->Text() : std::string();
  if (!TakeRunning()) {
    if (!said) return {};  // the window's boxes said why
    return {false, words.empty() ? "Recording did not start." : words};
  }
  said.reset();
  if (!words.empty()) Call(m_hooks.Tell, words, true);
  return {true,
          (savedAs.empty() ? "" : "saved the take before as " + savedAs + "; ") + StatusLine()};
}

Answer RecorderSession::Stop(Caller /*caller*/) {
  if (!TakeRunning()) return {false, "Tavrin Recorder is not recording."};
  StopTake();
  // A timed or sound-activated take is saved as it ends.
  m_unattended->StopPressed();
  HoldAwake();
  Call(m_hooks.Changed);
  return {true, StatusLine()};
}

Answer RecorderSession::SaveTo(const std::string& path) {
  if (TakeRunning()) return {false, "Stop recording before saving."};
  if (!settings::FormatOfPath(path))
    return {false, path + ": the name must end in .wav, .mp3, .flac or .opus."};
  if (m_state.Take.TakeLength < 2 || !m_state.Take.RawStream.IsOpen())
    return {false, "There is no take to save."};
  // Why it failed goes back to the caller, not into a box in the window.
  std::string reason;
  const bool written = m_hooks.SaveTakeTo && m_hooks.SaveTakeTo(path, reason);
  if (written) {
    m_takeSaved = true;
    return {true, path};
  }
  return {false, reason.empty() ? "The take was not saved to " + path + "." : reason};
}

void RecorderSession::TakeWritten() {
  m_takeSaved = true;
}

void RecorderSession::Command(const std::string& verb, const std::string& path, Reply reply) {
  if (verb == "status") {
    reply({true, StatusLine()});
    return;
  }
  // Record and Stop let events run, in which the next command may arrive:
  // it waits, so that each is decided on the state the one before left.
  m_commands.push_back({verb, path, std::move(reply)});
  if (m_commands.size() > 1 || m_commandRunning) return;
  if (m_hooks.Later) {
    m_hooks.Later([this] { RunQueuedCommands(); });
  } else {
    RunQueuedCommands();
  }
}

void RecorderSession::RunQueuedCommands() {
  if (m_commandRunning) return;
  m_commandRunning = true;
  while (!m_commands.empty()) {
    PendingCommand command = std::move(m_commands.front());
    m_commands.pop_front();
    command.Send(RunCommand(command.Verb, command.Path));
  }
  m_commandRunning = false;
}

Answer RecorderSession::RunCommand(const std::string& verb, const std::string& path) {
  const std::string command = verb == "toggle" ? (TakeRunning() ? "stop" : "record") : verb;
  // What the user is working on is not changed from outside; a take may always be stopped.
  if (command == "stop") return Stop(Caller::Command);
  if (command == "record") return Record(Caller::Command);
  if (std::string busy = BusyReason(); !busy.empty()) return {false, busy};
  if (command == "save") return SaveTo(path);
  return {false, "Tavrin Recorder does not know the command " + verb + "."};
}

TakeLimit RecorderSession::Tick() {
  if (m_state.AppendingTake && m_hooks.FreeBytes)
    FormatFreeTime(m_state, m_hooks.FreeBytes(m_state.WorkFolder));
  {
    const StepScope step(m_unattendedStep);
    m_unattended->Tick();
  }
  HoldAwake();
  if (!m_state.Recording) return TakeLimit::None;
  if (m_hooks.FreeBytes) FormatFreeTime(m_state, m_hooks.FreeBytes(m_state.WorkFolder));
  const TakeLimit limit = EnforceTakeLimits(m_state, m_context);
  if (limit != TakeLimit::None) {
    HoldAwake();
    Call(m_hooks.TakeStopped);
  }
  return limit;
}

void RecorderSession::BufferCaptured(std::span<const std::uint8_t> buffer) {
  const StepScope step(m_unattendedStep);
  m_unattended->BufferCaptured(buffer);
}

void RecorderSession::CaptureRestarted() {
  const StepScope step(m_unattendedStep);
  m_unattended->CaptureRestarted();
}

void RecorderSession::Close() {
  // An unattended take ends here and is saved before the window goes.
  if (!m_unattended->Active()) return;
  StopTake();
  m_unattended->StopPressed();
  HoldAwake();
}

std::string RecorderSession::StatusLine() const {
  std::string line = RecorderStatus();
  if (const int kept = m_unattended->KeptTakes(); kept > 0) {
    line += "; " + std::to_string(kept) + (kept == 1 ? " take" : " takes") + " kept in " +
            m_unattended->KeptFolder() + " until the output folder can take them";
  }
  return line;
}

std::string RecorderSession::RecorderStatus() const {
  if (m_state.Recording) {
    return "recording " + capture::PositionText(BuffersRecorded(m_state)) + " " +
           m_state.SourceCaption;
  }
  switch (m_unattended->Mode()) {
  case UnattendedMode::WaitingForSound: return "waiting for sound";
  case UnattendedMode::RecordingSound:
    return "recording (sound) " + capture::PositionText(BuffersRecorded(m_state)) + " " +
           m_state.SourceCaption;
  case UnattendedMode::PausedSilence: return "paused (silence)";
  case UnattendedMode::TimerArmed:
  case UnattendedMode::TimerWaiting: return "armed, starts " + m_unattended->StartText();
  default: break;
  }
  if (m_state.Take.TakeLength < 2 || !m_state.Take.RawStream.IsOpen()) return "stopped, no take";
  return "stopped, take " + capture::PositionText(m_state.Take.TakeLength) +
         (TakeUnsaved() ? " not saved" : " saved");
}

}  // namespace tavrin::session
