#pragma once
// Recording that runs by itself: the timer presses Record and Stop as the
// user would, the sound trigger keeps what it hears (with the seconds before
// it), and every take either of them ends is saved at once, without a dialog,
// to the output folder under its start date and time. No widgets: the
// recorder window drives it from its timers and shows what it says.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "schedule/sound_trigger.h"
#include "schedule/timer_schedule.h"
#include "settings/settings.h"

namespace tavrin::session {

struct UnattendedHooks {
  // Record would be taken now: no take the user records, no editor, no save,
  // no modal window.
  std::function<bool()> CanStart;
  std::function<bool()> PressRecord;  // the Record button's steps; true when a take started
  std::function<void()> PressStop;    // the Stop button's steps
  // Writes the finished take to `path` in the chosen format, without a
  // dialog or a box, through the save flow. True when written; else `reason`
  // says why.
  std::function<bool(const std::string& path, std::string& reason)> SaveTakeTo;
  std::function<bool()> TakeUnsaved;
  // A take of its own began in place of the one in hand.
  std::function<void()> TakeBegan;
  // Said in the status bar; `notify`: also as a desktop notification.
  std::function<void(const std::string& text, bool notify)> Tell;
  // A sound take began or ended, or the mode changed: redraw.
  std::function<void()> Changed;
  // Stores the settings (the timer's day, a one-off timer that has run).
  std::function<void()> SaveSettings;
};

enum class UnattendedMode {
  Off,
  TimerArmed,       // waiting for the start time
  TimerWaiting,     // the start came; Record cannot be pressed yet
  TimedTake,        // the timer's take records
  WaitingForSound,  // a sound session, nothing heard yet or since the last take
  RecordingSound,   // an event, its hangover included, goes into the take
  PausedSilence,    // past the hangover: the take goes on if sound comes back
};

// The work folder's folder that keeps the unattended takes whose save failed.
inline constexpr const char* kUnsavedFolder = "Unsaved";
// How often the kept takes are offered to the output folder again.
inline constexpr std::int64_t kKeptRetrySeconds = 10;

// "2026-12-08 07-00-00.mp3" in `folder`, or with " (2)", " (3)" ... before
// the extension when a file of that name exists.
std::string UnattendedFilePath(const std::string& folder, std::int64_t wallSeconds,
                               const std::string& extension);

class Unattended : private schedule::TriggerSink {
public:
  Unattended(capture::RecorderState& state, capture::CaptureContext& context,
             settings::Settings& settings, schedule::Clocks clocks, UnattendedHooks hooks);
  ~Unattended() override;
  Unattended(const Unattended&) = delete;
  Unattended& operator=(const Unattended&) = delete;

  // Arms the timer as the settings hold it (off when they say so). At
  // start-up a window that is still open starts at once.
  void ArmTimer(bool atStartUp);
  // Record pressed while sound activation is on and no timer is armed: waits
  // for sound. True when the session started.
  bool StartSoundSession();
  // Stop pressed (or the window closes): a sound session ends and its take is
  // saved; a timed take ends and is saved; the timer goes on to its next day.
  void StopPressed();
  // The status timer's step: the timer's decisions, limits, pending saves.
  void Tick();
  // The capture's buffer stream (see CaptureObserver).
  void BufferCaptured(std::span<const std::uint8_t> buffer);
  void CaptureRestarted();

  UnattendedMode Mode() const;
  // When the armed timer starts next ("07:00:00", "tomorrow 07:00:00").
  std::string StartText() const;
  // Panel 1 of the status bar; empty when nothing runs by itself.
  std::string StatusText() const;
  // A sound session or a timed take: the recorder acts as while recording.
  bool Active() const;
  // The machine must stay awake: a timer armed, or anything active.
  bool KeepAwake() const;
  bool Saving() const { return m_saving; }
  // A take not saved yet is saved under the date and time of its first
  // audio into the output folder (or kept in Unsaved), before something that
  // would replace it. Where it went, or empty.
  std::string SaveUnsavedFirst();
  // A take the user records began now.
  void TakeBegan();
  // Takes kept in the work folder's Unsaved because the output folder could
  // not take them; moved there, under their names, once it can.
  int KeptTakes() const { return m_keptTakes; }
  std::string KeptFolder() const;

private:
  struct QueuedEvent {
    std::vector<std::vector<std::uint8_t>> Buffers;
    bool Ended = false;
  };

  void EventStarted() override;
  void Keep(std::span<const std::uint8_t> buffer) override;
  void EventEnded() override;
  void Append(std::span<const std::uint8_t> buffer);

  void StartTimed();
  void StopTimed();
  bool BeginSoundSession();
  void EndSoundSession();
  bool BeginTake(std::int64_t startWall);
  void EndTake();
  std::string SaveTake(std::int64_t startWall);
  void RunPendingWork();
  std::vector<std::filesystem::path> KeptFiles() const;
  void MoveKeptTakes();
  void EnforceLimits();
  std::int64_t Now() const;

  capture::RecorderState& m_state;
  capture::CaptureContext& m_context;
  settings::Settings& m_settings;
  schedule::Clocks m_clocks;
  UnattendedHooks m_hooks;
  schedule::TimerSchedule m_timer;
  std::unique_ptr<schedule::SoundTrigger> m_trigger;
  bool m_timedTake = false;     // the timer pressed Record for the take recording now
  bool m_timedSession = false;  // the sound session is the timer's
  bool m_saving = false;        // a save runs (events, and so captured buffers, still come)
  bool m_failed = false;        // the take could not be written: the session ends at the next tick
  std::int64_t m_takeStartWall = 0;  // the take being recorded or appended
  // The finished take waits to be saved (its start time): there is one take.
  std::optional<std::int64_t> m_pendingSave;
  std::deque<QueuedEvent> m_queued;  // sound heard while a take was being saved
  int m_keptTakes = 0;
  std::int64_t m_nextKeptTry = 0;  // wall seconds
};

}  // namespace tavrin::session
