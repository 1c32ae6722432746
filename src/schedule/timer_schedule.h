#pragma once
// The recording timer: when a timed take starts and stops, decided over two
// injected clocks. Times of day are read on the wall clock in the local time
// zone (so a daylight-saving change moves nothing the user set); durations are
// measured on the monotonic clock (so a clock change does not stretch a take).
// No widgets and no devices: the recorder window asks Tick() on its status
// timer and presses Record and Stop as the answers say.

#include <cstdint>
#include <functional>
#include <string>

namespace tavrin::schedule {

inline constexpr std::int32_t kSecondsPerDay = 24 * 60 * 60;
// The longest timed take: the recorder's own length limit.
inline constexpr std::int32_t kLongestTimedSeconds = 10 * 60 * 60;

enum class StopKind { ByHand = 0, AfterDuration = 1, AtTime = 2 };

// What the user set on the timer dialog (and the settings file keeps).
struct TimerPlan {
  bool Armed = false;
  // Seconds after local midnight. "Start now" is stored as the time of day it
  // was chosen at, so "every day" repeats it from then on.
  std::int32_t StartSecond = 0;
  StopKind Stop = StopKind::AfterDuration;
  std::int32_t DurationSeconds = 60 * 60;  // AfterDuration
  std::int32_t StopSecond = 0;             // AtTime: seconds after local midnight
  bool Daily = false;

  friend bool operator==(const TimerPlan&, const TimerPlan&) = default;
};

// Why a plan cannot be armed, in the user's words; empty when it can. A stop
// at the start's own time, a duration of 0 or over 10 hours, a stop time more
// than 10 hours after the start, a time of day outside the day.
std::string PlanProblem(const TimerPlan& plan);

// Seconds from the start to the stop: the duration, the way to the next
// stop time (across midnight), or 0 when stopped by hand.
std::int32_t PlannedSeconds(const TimerPlan& plan);

struct Clocks {
  std::function<std::int64_t()> WallSeconds;  // seconds since the epoch, UTC
  std::function<std::int64_t()> MonotonicMs;  // never jumps, any origin
};

// Local calendar helpers over the C library's time zone (TZ). The epoch
// second at which `date` (days since 1970-01-01 as a local date) reaches
// `second` after local midnight; a time that a daylight-saving change skips
// is taken as the same wall reading after the change.
std::int64_t LocalTimeOn(std::int64_t localDay, std::int32_t second);
// The local date (days since 1970-01-01) and the seconds after local midnight
// at `wall`.
std::int64_t LocalDayOf(std::int64_t wall);
std::int32_t LocalSecondOf(std::int64_t wall);
// "07:00:00", "23:59:05" for seconds after midnight.
std::string ClockText(std::int32_t second);
// The local time at `wall` as seen at `now`: "07:00:00" on the same day,
// "tomorrow 07:00:00" on the next, "2026-01-18 07:00:00" on any other.
std::string WhenText(std::int64_t wall, std::int64_t now);

enum class TimerAction {
  None,
  Start,  // press Record now
  Stop,   // press Stop now
};

// What the note of a decision tells.
enum class TimerNotice {
  None,
  Late,     // the take started late
  Skipped,  // a window passed while the program ran (asleep, clock changed, busy)
  Missed,   // a window passed before the program started
};

struct TimerDecision {
  TimerAction Action = TimerAction::None;
  // Said once in the status bar: a start that came late (the machine slept,
  // the clock was changed, the recorder was busy) says by how much; a start
  // whose whole window passed says it was skipped, or missed when the program
  // was not running (told at the first tick after arming at start-up).
  TimerNotice Notice = TimerNotice::None;
  std::string Note;
};

enum class TimerPhase {
  Off,      // not armed, or a one-off plan that has run
  Armed,    // waiting for the start time
  Waiting,  // the start time came but Record could not be pressed yet
  Running,  // a timed take records
};

class TimerSchedule {
public:
  explicit TimerSchedule(Clocks clocks);

  // Arms `plan` (or disarms when !plan.Armed or PlanProblem refuses it). The
  // first start is the next time the start comes; with `catchUp` (arming again
  // at start-up) a window that is still open counts, and no day up to
  // `lastRunDay` (the local day whose take already ran, or -1) starts again;
  // the latest window after that day which has passed is told as missed.
  // A take stopped by hand may start up to 10 hours late.
  void Arm(const TimerPlan& plan, bool catchUp = false, std::int64_t lastRunDay = -1);
  void Disarm();

  // Asked every status tick. `canStart`: Record would be taken now (nothing in
  // the way: editor, save, a take the user records). `recording`: the timed
  // take is still recording (false once it ended on its own: disk, device,
  // 10-hour limit, or the user's Stop).
  TimerDecision Tick(bool canStart, bool recording);

  TimerPhase Phase() const { return m_phase; }
  const TimerPlan& Plan() const { return m_plan; }
  // The local day of the take that started last (-1 before any): stored after
  // each start and each Arm so a restarted program does not start the same
  // day's take twice. Arming a plan (without catchUp) sets it to the day
  // before its first take: that take is not held back after a restart, and
  // the windows before it, which the plan never meant to run, are neither
  // started late nor told as missed.
  std::int64_t LastRunDay() const { return m_lastRunDay; }
  // Epoch seconds of the next start (Armed, Waiting) and of its planned stop
  // (0 when stopped by hand); both 0 when off.
  std::int64_t StartWall() const { return m_startWall; }
  std::int64_t StopWall() const;

  // Panel 1 of the status bar: "Armed 07:00:00" while armed ("Armed
  // tomorrow 07:00:00" for a later day), "Armed, in 12:34" in the last hour, "Timer: waiting" while
  // Record cannot be pressed, "Until 08:00:00" while a timed take records ("Timed" when it stops by
  // hand); empty when off.
  std::string StatusText() const;

private:
  // Tick without the missed window's note.
  TimerDecision Decide(bool canStart, bool recording);
  // Makes the take on `localDay` the one in hand (start and planned end).
  void PlanDay(std::int64_t localDay);
  // The one in hand is done: the next day's (Daily) or Off.
  void NextOccurrence();
  // Until when the take in hand may still start.
  std::int64_t WindowEnd() const;

  Clocks m_clocks;
  TimerPlan m_plan;
  TimerPhase m_phase = TimerPhase::Off;
  std::int64_t m_day = 0;        // local day of the occurrence in hand
  std::int64_t m_startWall = 0;  // its start, epoch seconds
  std::int64_t m_endWall = 0;    // its planned end on the wall clock (0: by hand)
  std::int64_t m_stopMono = 0;   // the take's stop on the monotonic clock (by hand: unused)
  std::int64_t m_lastRunDay = -1;
  std::string m_missedNote;  // told by the next Tick
};

}  // namespace tavrin::schedule
