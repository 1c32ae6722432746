#include "schedule/timer_schedule.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <utility>

namespace tavrin::schedule {

namespace {

// A start seen at most this late is on time: no note, and arming counts a
// start that came this long ago ("start now" is stored as the second it was
// chosen at, which may have ended before Arm runs).
constexpr std::int64_t kOnTimeSeconds = 2;
// The countdown shows in the last hour before the start.
constexpr std::int64_t kCountdownSeconds = 60 * 60;
// Arming looks at most this many days ahead for the first take (a daily plan
// has one every day, a one-off within two).
constexpr int kDaysToSearch = 4;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Seconds the local time zone is ahead of UTC at `wall`.
std::int64_t OffsetAt(std::int64_t wall) {
  const auto t = static_cast<std::time_t>(wall);
  std::tm local{};
  if (!localtime_r(&t, &local)) return 0;
  return local.tm_gmtoff;
}

std::string DurationText(std::int64_t seconds) {
  char text[48];
  const auto h = seconds / 3600, m = seconds % 3600 / 60, s = seconds % 60;
  if (h > 0)
    std::snprintf(text, sizeof text, "%lld h %lld min", static_cast<long long>(h),
                  static_cast<long long>(m));
  else if (m > 0)
    std::snprintf(text, sizeof text, "%lld min %lld s", static_cast<long long>(m),
                  static_cast<long long>(s));
  else
    std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(s));
  return text;
}

bool IsTimeOfDay(std::int32_t second) {
  return second >= 0 && second < kSecondsPerDay;
}

}  // namespace

std::string PlanProblem(const TimerPlan& plan) {
  if (!IsTimeOfDay(plan.StartSecond))
    return "The start time must be a time of day from 00:00:00 to 23:59:59.";
  switch (plan.Stop) {
  case StopKind::ByHand: return {};
  case StopKind::AfterDuration:
    if (plan.DurationSeconds < 1 || plan.DurationSeconds > kLongestTimedSeconds)
      return "The duration must be from 1 second to 10 hours.";
    return {};
  case StopKind::AtTime:
    if (!IsTimeOfDay(plan.StopSecond))
      return "The stop time must be a time of day from 00:00:00 to 23:59:59.";
    if (plan.StopSecond == plan.StartSecond)
      return "The stop time must differ from the start time.";
    if (PlannedSeconds(plan) > kLongestTimedSeconds)
      return "The stop time must be at most 10 hours after the start time.";
    return {};
  }
  // A value read from a damaged settings file.
  return "The timer must stop by hand, after a duration or at a time of day.";
}

std::int32_t PlannedSeconds(const TimerPlan& plan) {
  switch (plan.Stop) {
  case StopKind::AfterDuration: return plan.DurationSeconds;
  case StopKind::AtTime: {
    // 64-bit: the values may be out of range when the plan has a problem.
    const std::int64_t way = std::int64_t{plan.StopSecond} - plan.StartSecond;
    return static_cast<std::int32_t>((way % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay);
  }
  case StopKind::ByHand: break;
  }
  return 0;
}

std::int64_t LocalTimeOn(std::int64_t localDay, std::int32_t second) {
  ::tzset();
  // The reading as if local time were UTC; the instant is it minus the offset
  // in force then. Around a change the offsets before and after both apply:
  // a reading both give (the hour repeated when clocks go back) is taken the
  // first time, and one neither gives (the hour skipped when clocks go
  // forward) is read with the offset before, which lands as far after the
  // change as the reading was after its start (02:30 becomes 03:30).
  const std::int64_t reading = localDay * kSecondsPerDay + second;
  const std::int64_t offsets[] = {OffsetAt(reading - kSecondsPerDay), OffsetAt(reading),
                                  OffsetAt(reading + kSecondsPerDay)};
  std::int64_t first = 0, latest = 0;
  bool found = false;
  for (std::size_t i = 0; i < std::size(offsets); ++i) {
    const std::int64_t instant = reading - offsets[i];
    latest = i == 0 ? instant : std::max(latest, instant);
    if (OffsetAt(instant) != offsets[i]) continue;
    first = found ? std::min(first, instant) : instant;
    found = true;
  }
  return found ? first : latest;
}

std::int64_t LocalDayOf(std::int64_t wall) {
  ::tzset();
  return FloorDiv(wall + OffsetAt(wall), kSecondsPerDay);
}

std::int32_t LocalSecondOf(std::int64_t wall) {
  ::tzset();
  const std::int64_t local = wall + OffsetAt(wall);
  return static_cast<std::int32_t>(local - FloorDiv(local, kSecondsPerDay) * kSecondsPerDay);
}

std::string ClockText(std::int32_t second) {
  const std::int32_t s = (second % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  return text;
}

std::string WhenText(std::int64_t wall, std::int64_t now) {
  const std::int64_t days = LocalDayOf(wall) - LocalDayOf(now);
  const std::string clock = ClockText(LocalSecondOf(wall));
  if (days == 0) return clock;
  if (days == 1) return "tomorrow " + clock;
  const auto t = static_cast<std::time_t>(wall);
  std::tm local{};
  char date[32] = "?";
  if (localtime_r(&t, &local)) std::strftime(date, sizeof date, "%Y-%m-%d", &local);
  return std::string(date) + " " + clock;
}

TimerSchedule::TimerSchedule(Clocks clocks) : m_clocks(std::move(clocks)) {}

void TimerSchedule::Arm(const TimerPlan& plan, bool catchUp, std::int64_t lastRunDay) {
  Disarm();
  m_plan = plan;
  if (!plan.Armed || !PlanProblem(plan).empty()) return;

  const std::int64_t now = m_clocks.WallSeconds();
  const std::int64_t today = LocalDayOf(now);
  // A stored day after tomorrow is not believed (a damaged file, or a clock
  // that was far ahead when it was written): it would hold the timer back.
  if (lastRunDay >= -1 && lastRunDay <= today + 1)
    m_lastRunDay = std::max(m_lastRunDay, lastRunDay);

  bool missed = false;
  for (std::int64_t day = today - 1; day < today + kDaysToSearch; ++day) {
    PlanDay(day);
    // At start-up a take whose window is still open counts unless its day ran;
    // otherwise the first start still to come.
    const bool comes =
        catchUp ? day > m_lastRunDay && now < WindowEnd() : m_startWall >= now - kOnTimeSeconds;
    if (!comes) {
      // Without a day of its own stored (an older file), nothing is known missed.
      missed = missed || (catchUp && m_lastRunDay >= 0 && day > m_lastRunDay && now >= WindowEnd());
      continue;
    }
    // The days before the first take are behind the plan: after a restart
    // none of them starts late (nor is missed), whatever ran on them before.
    if (!catchUp) m_lastRunDay = day - 1;
    if (missed) {
      m_missedNote = "Timer: the take planned for " + ClockText(m_plan.StartSecond) +
                     " was missed: the recorder was not running then";
    }
    m_phase = TimerPhase::Armed;
    return;
  }
  m_startWall = m_endWall = 0;
}

void TimerSchedule::Disarm() {
  m_plan.Armed = false;
  m_phase = TimerPhase::Off;
  m_startWall = m_endWall = m_stopMono = 0;
  m_missedNote.clear();
}

void TimerSchedule::PlanDay(std::int64_t localDay) {
  m_day = localDay;
  m_startWall = LocalTimeOn(localDay, m_plan.StartSecond);
  switch (m_plan.Stop) {
  case StopKind::ByHand: m_endWall = 0; break;
  case StopKind::AfterDuration: m_endWall = m_startWall + m_plan.DurationSeconds; break;
  case StopKind::AtTime: {
    const std::int64_t stopDay = m_plan.StopSecond > m_plan.StartSecond ? localDay : localDay + 1;
    m_endWall = LocalTimeOn(stopDay, m_plan.StopSecond);
    // A change of the clocks between the two readings cannot turn the take
    // around: it then lasts what the plan says.
    if (m_endWall <= m_startWall) m_endWall = m_startWall + PlannedSeconds(m_plan);
    break;
  }
  }
}

std::int64_t TimerSchedule::WindowEnd() const {
  // A take stopped by hand may start late for as long as any take may last:
  // past that, whatever it would have recorded is over.
  return m_endWall != 0 ? m_endWall : m_startWall + kLongestTimedSeconds;
}

void TimerSchedule::NextOccurrence() {
  m_stopMono = 0;
  if (!m_plan.Daily) {
    m_phase = TimerPhase::Off;
    m_startWall = m_endWall = 0;
    return;
  }
  // The next day whose window has not passed; the days a long sleep or a
  // clock jump went over are skipped with the one in hand.
  const std::int64_t now = m_clocks.WallSeconds();
  std::int64_t day = std::max(m_day + 1, LocalDayOf(now) - 1);
  for (PlanDay(day); WindowEnd() <= now;) PlanDay(++day);
  m_phase = TimerPhase::Armed;
}

TimerDecision TimerSchedule::Tick(bool canStart, bool recording) {
  TimerDecision decision = Decide(canStart, recording);
  if (m_missedNote.empty()) return decision;
  // A late start at the same tick is told in the same line.
  if (!decision.Note.empty())
    m_missedNote += "; " + decision.Note.substr(decision.Note.find(' ') + 1);
  decision.Note = std::move(m_missedNote);
  decision.Notice = TimerNotice::Missed;
  m_missedNote.clear();
  return decision;
}

TimerDecision TimerSchedule::Decide(bool canStart, bool recording) {
  TimerDecision decision;
  if (m_phase == TimerPhase::Off) return decision;
  const std::int64_t now = m_clocks.WallSeconds();

  if (m_phase == TimerPhase::Running) {
    // A take that ended on its own (or by the user's Stop) ends the occurrence.
    if (!recording) {
      NextOccurrence();
      return decision;
    }
    const bool due = (m_plan.Stop != StopKind::ByHand && m_clocks.MonotonicMs() >= m_stopMono) ||
                     (m_plan.Stop == StopKind::AtTime && now >= m_endWall);
    if (due) {
      decision.Action = TimerAction::Stop;
      NextOccurrence();
    }
    return decision;
  }

  const std::string planned = ClockText(m_plan.StartSecond);
  if (now >= WindowEnd()) {
    decision.Notice = TimerNotice::Skipped;
    decision.Note = "Timer: the take planned for " + planned + " was skipped: " +
                    (m_phase == TimerPhase::Waiting
                         ? "Record could not be pressed before its time was over"
                         : "its time passed while the computer slept or the clock changed");
    NextOccurrence();
    return decision;
  }
  if (now < m_startWall) {  // not yet, or the clock went back
    m_phase = TimerPhase::Armed;
    return decision;
  }
  if (!canStart) {
    m_phase = TimerPhase::Waiting;
    return decision;
  }
  // The stop stays where the plan put it, however late the start: the
  // remaining wall time is counted on the monotonic clock from now.
  const std::int64_t late = now - m_startWall;
  if (m_plan.Stop != StopKind::ByHand)
    m_stopMono = m_clocks.MonotonicMs() + (m_endWall - now) * 1000;
  m_lastRunDay = m_day;
  m_phase = TimerPhase::Running;
  decision.Action = TimerAction::Start;
  if (late > kOnTimeSeconds) {
    decision.Notice = TimerNotice::Late;
    decision.Note =
        "Timer: started " + DurationText(late) + " late (the start was " + planned + ")";
  }
  return decision;
}

std::int64_t TimerSchedule::StopWall() const {
  return m_phase == TimerPhase::Off ? 0 : m_endWall;
}

std::string TimerSchedule::StatusText() const {
  switch (m_phase) {
  case TimerPhase::Off: return {};
  case TimerPhase::Waiting: return "Timer: waiting";
  case TimerPhase::Running:
    return m_endWall == 0 ? "Timed" : "Until " + ClockText(LocalSecondOf(m_endWall));
  case TimerPhase::Armed: break;
  }
  const std::int64_t left = m_startWall - m_clocks.WallSeconds();
  if (left >= kCountdownSeconds) return "Armed " + WhenText(m_startWall, m_clocks.WallSeconds());
  const auto shown = static_cast<int>(std::max<std::int64_t>(left, 0));
  char text[24];
  std::snprintf(text, sizeof text, "Armed, in %02d:%02d", shown / 60, shown % 60);
  return text;
}

}  // namespace tavrin::schedule
