#pragma once
// The recorder behind every control: the window's buttons, the tray, the
// command line, the timer and the sound trigger all record, stop and save
// through one session, which decides against the state as it is when the
// operation runs and answers each caller: done, with the line a command
// prints, or refused, with the reason in the user's words. Each caller shows
// the answer its own way; nothing here opens a window or waits for a person,
// except the question the window itself asks before its own Record throws a
// take away. No widgets.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "capture/capture.h"
#include "platform/sleep_inhibitor.h"
#include "schedule/timer_schedule.h"
#include "session/recording_controls.h"
#include "session/unattended.h"
#include "settings/settings.h"

namespace tavrin::session {

// Who asked. A person at the window (its buttons, the tray's menu) is asked
// before a take never saved goes; nobody is there for a command or the timer,
// so that take is saved under its date and time first.
enum class Caller { Window, Tray, Command, Timer };

struct Answer {
  bool Done = false;
  // Done: what was done (the line a command prints). Refused: why, or empty
  // when the person asked chose to keep what they had.
  std::string Text;
};

struct SessionHooks {
  // Why the take may not be changed from outside now (the editor is open, a
  // modal window or the window's own save), or empty.
  std::function<std::string()> Busy;
  // Writes the finished take to `path` in the format its extension names
  // (else the chosen one), without a dialog or a box. True when written;
  // else `reason` says why.
  std::function<bool(const std::string& path, std::string& reason)> SaveTakeTo;
  // Asks the person at the window about a take never saved (Save... with its
  // file dialog, Discard, Cancel): true when it may go.
  std::function<bool(const std::string& question)> KeepOrDiscard;
  // What the window draws as a take starts and ends.
  std::function<void()> TakeStarted;
  std::function<void()> TakeStopped;
  // Said in the status bar; `notify`: also as a desktop notification.
  std::function<void(const std::string& text, bool notify)> Tell;
  // The timer's or the trigger's state changed: redraw.
  std::function<void()> Changed;
  std::function<void()> SaveSettings;
  // Runs `work` once the caller has returned (the event loop's next turn).
  std::function<void(std::function<void()> work)> Later;
  // Free bytes where the take is written; negative: unknown.
  std::function<std::int64_t(const std::string& folder)> FreeBytes;
};

class RecorderSession {
public:
  RecorderSession(capture::RecorderState& state, capture::CaptureContext& context,
                  settings::Settings& settings, platform::SleepInhibitor* inhibitor,
                  schedule::Clocks clocks, SessionHooks hooks);
  ~RecorderSession();
  RecorderSession(const RecorderSession&) = delete;
  RecorderSession& operator=(const RecorderSession&) = delete;

  // Arms the timer as the settings hold it, once the caller can show what it says.
  void Start();
  // Starts a take (or, with sound activation on, waits for sound).
  Answer Record(Caller caller);
  // Ends the take; a timed or sound-activated one is saved as it ends.
  Answer Stop(Caller caller);
  // Saves the stopped take to `path` in the format its extension names.
  Answer SaveTo(const std::string& path);
  // A command from the command line: "record", "stop", "toggle", "save"
  // (with its absolute path) or "status". Taken one at a time, in the order
  // they came, each decided on the state the one before left, once the caller
  // has returned; "status" is answered at once.
  using Reply = std::function<void(const Answer&)>;
  void Command(const std::string& verb, const std::string& path, Reply reply);

  // The status step (five times a second): free space, the take's limits,
  // the timer's and the trigger's decisions, takes kept for later.
  TakeLimit Tick();
  // The window's Save as wrote the take.
  void TakeWritten();
  // The capture's buffer stream (see CaptureObserver).
  void BufferCaptured(std::span<const std::uint8_t> buffer);
  void CaptureRestarted();
  // Ends whatever runs by itself as the window closes; its take is saved.
  void Close();

  // A take records: the user's, the timer's, or a sound-activated session.
  bool TakeRunning() const;
  // A take with audio that no save has written since it was recorded.
  bool TakeUnsaved() const;
  // "The take (00:03:10) has not been saved. Save it?"
  std::string UnsavedQuestion() const;
  // One line saying what the recorder does: "recording 00:12:34.5 <source>",
  // "stopped, take 00:03:10.0 not saved", "armed, starts 07:00:00",
  // "waiting for sound", and the takes kept for later (the command line's
  // --status and the tray's tool tip).
  std::string StatusLine() const;
  Unattended& Scheduler() { return *m_unattended; }
  const Unattended& Scheduler() const { return *m_unattended; }
  // Keeps the machine awake exactly while a take records or the timer waits.
  void HoldAwake();

private:
  struct PendingCommand {
    std::string Verb;
    std::string Path;
    Reply Send;
  };
  class Said;

  std::string RecorderStatus() const;
  bool SaveUnsavedFirst(Caller caller, std::string& savedAs);
  bool StartTake();
  void StopTake();
  void RunQueuedCommands();
  Answer RunCommand(const std::string& verb, const std::string& path);
  // What may not be done from outside now, or empty.
  std::string BusyReason() const;
  // The take in hand is the timer's or the trigger's: nobody is there to read a box.
  bool NobodyThere() const;

  capture::RecorderState& m_state;
  capture::CaptureContext& m_context;
  settings::Settings& m_settings;
  platform::SleepInhibitor* m_inhibitor;
  SessionHooks m_hooks;
  base::UserChannel m_user;  // the person at the window, as the context had it
  std::unique_ptr<session::Unattended> m_unattended;
  bool m_takeSaved = false;               // written by a save since it was recorded
  bool m_takeReleased = false;            // the person at the window let it go
  std::deque<PendingCommand> m_commands;  // waiting for the one in hand
  bool m_commandRunning = false;
  Said* m_said = nullptr;         // an operation collecting what the capture says
  bool m_unattendedStep = false;  // the timer or the trigger acts
};

}  // namespace tavrin::session
