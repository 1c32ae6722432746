// The timer over a clock the test sets, in Berlin's time zone (clocks go
// forward on 2026-03-29 at 02:00 and back on 2026-10-25 at 03:00).

#include "schedule/timer_schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::schedule {
namespace {

std::int64_t Utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  std::tm t{};
  t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d, t.tm_hour = h, t.tm_min = mi;
  t.tm_sec = s;
  return timegm(&t);
}
constexpr std::int32_t M(int h, int m = 0, int s = 0) {
  return h * 3600 + m * 60 + s;
}
// Most cases run on 2026-01-15, when Berlin is UTC+1: T(7) is 07:00 there.
std::int64_t T(int h, int m = 0, int s = 0) {
  return Utc(2026, 1, 15, h - 1, m, s);
}
const std::int64_t kJan15 = Utc(2026, 1, 15) / kSecondsPerDay;

TimerPlan Plan(std::int32_t start, StopKind stop, std::int32_t value, bool daily = false) {
  TimerPlan plan{.Armed = true, .StartSecond = start, .Stop = stop, .Daily = daily};
  (stop == StopKind::AtTime ? plan.StopSecond : plan.DurationSeconds) = value;
  return plan;
}
TimerPlan Hour(std::int32_t start, bool daily = false) {
  return Plan(start, StopKind::AfterDuration, 3600, daily);
}
const TimerPlan kHour7 = Hour(M(7)), kDaily7 = Hour(M(7), true);
const TimerPlan kByHand7 = Plan(M(7), StopKind::ByHand, 0);
const TimerPlan kAt7To8 = Plan(M(7), StopKind::AtTime, M(8));

// "07:20:00 start / <note>": hours counted from 2026-01-15 00:00 in Berlin.
std::string Event(std::int64_t wall, TimerAction action, const std::string& note = {}) {
  const std::int64_t s = wall - T(0);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  std::string event = text;
  if (action != TimerAction::None) event += action == TimerAction::Start ? " start" : " stop";
  return note.empty() ? event : event + " / " + note;
}
std::string Late(const char* at, const char* late) {
  return std::string(at) + " start / Timer: started " + late + " late (the start was 07:00:00)";
}
std::string Missed(const char* at, const std::string& andThen = {}) {
  return std::string(at) + (andThen.empty() ? " / " : " start / ") +
         "Timer: the take planned for 07:00:00 was missed: the recorder was not running then" +
         andThen;
}
std::string Skipped(const char* at, bool busy = false) {
  return std::string(at) + " / Timer: the take planned for 07:00:00 was skipped: " +
         (busy ? "Record could not be pressed before its time was over"
               : "its time passed while the computer slept or the clock changed");
}

class TimerScheduleTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) m_oldTz = tz;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  void TearDown() override {
    if (m_oldTz)
      setenv("TZ", m_oldTz->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

  // One status tick, pressing Record and Stop as the window does.
  void Tick() {
    const TimerDecision d = timer.Tick(!busy && !recording, recording);
    if (d.Action != TimerAction::None) recording = d.Action == TimerAction::Start;
    if (d.Action != TimerAction::None || !d.Note.empty())
      events.push_back(Event(wall, d.Action, d.Note));
  }
  // Time passes on both clocks up to `until`: a tick every second while the
  // timer waits or records or its start is near, every ten seconds otherwise.
  void RunTo(std::int64_t until) {
    while (wall < until) {
      const bool idle = timer.Phase() == TimerPhase::Off ||
                        (timer.Phase() == TimerPhase::Armed && timer.StartWall() - wall > 10);
      const std::int64_t step = std::min<std::int64_t>(idle ? 10 : 1, until - wall);
      wall += step;
      mono += step * 1000;
      Tick();
    }
  }
  void ArmAt(std::int64_t at, const TimerPlan& plan, bool catchUp = false, std::int64_t last = -1) {
    events.clear();
    recording = false;
    wall = at;
    timer.Arm(plan, catchUp, last);
  }
  // A new timer, as after a restart of the program.
  void Restart() {
    timer = TimerSchedule(Clocks{[this] { return wall; }, [this] { return mono; }});
  }

  std::int64_t wall = 0, mono = 5'000'000;
  bool recording = false, busy = false;
  std::vector<std::string> events;
  TimerSchedule timer{Clocks{[this] { return wall; }, [this] { return mono; }}};

private:
  std::optional<std::string> m_oldTz;
};

TEST_F(TimerScheduleTest, LocalCalendarAcrossClockChanges) {
  struct Row {
    int Mon, Date;
    std::int32_t Second;
    std::int64_t Expected;
    std::int32_t Reads;  // the local time at Expected
  } rows[] = {
      {7, 15, M(7), Utc(2026, 7, 15, 5), M(7)},
      {12, 31, M(23, 59, 59), Utc(2026, 12, 31, 22, 59, 59), M(23, 59, 59)},
      {3, 29, M(1, 59, 59), Utc(2026, 3, 29, 0, 59, 59), M(1, 59, 59)},
      {3, 29, M(2, 30), Utc(2026, 3, 29, 1, 30), M(3, 30)},  // skipped hour
      {3, 29, M(3, 30), Utc(2026, 3, 29, 1, 30), M(3, 30)},
      {10, 25, M(2, 30), Utc(2026, 10, 25, 0, 30), M(2, 30)},  // repeated: the first
      {10, 25, M(3), Utc(2026, 10, 25, 2), M(3)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.Mon) + "-" + std::to_string(r.Date) + " " + ClockText(r.Second));
    const std::int64_t day = Utc(2026, r.Mon, r.Date) / kSecondsPerDay;
    EXPECT_EQ(LocalTimeOn(day, r.Second), r.Expected);
    EXPECT_EQ(LocalDayOf(r.Expected), day);
    EXPECT_EQ(LocalSecondOf(r.Expected), r.Reads);
  }
  // The second 02:30 of the night the clocks go back.
  EXPECT_EQ(LocalSecondOf(Utc(2026, 10, 25, 1, 30)), M(2, 30));
  EXPECT_EQ(LocalDayOf(Utc(2026, 1, 15, 23, 30)), kJan15 + 1);
  EXPECT_EQ(ClockText(M(23, 59, 5)), "23:59:05");
  EXPECT_EQ(WhenText(T(55), T(6)), "2026-01-17 07:00:00");
}

TEST_F(TimerScheduleTest, PlanProblemsAndPlannedSeconds) {
  const auto at = [](std::int32_t start, std::int32_t stop) {
    return Plan(start, StopKind::AtTime, stop);
  };
  const auto after = [](std::int32_t seconds) { return Plan(0, StopKind::AfterDuration, seconds); };
  struct Row {
    TimerPlan Plan;
    const char* Problem;   // a part of the message; "" when none
    std::int32_t Planned;  // -1: not compared
  } rows[] = {
      {kByHand7, "", 0},
      {after(1), "", 1},
      {after(kLongestTimedSeconds), "", kLongestTimedSeconds},
      {after(0), "duration must be from 1 second to 10 hours", 0},
      {after(kLongestTimedSeconds + 1), "duration", -1},
      {at(M(7), M(8)), "", 3600},
      {at(M(23, 30), M(0, 15)), "", M(0, 45)},
      {at(M(22), M(8)), "", kLongestTimedSeconds},
      {at(M(22), M(8, 0, 1)), "at most 10 hours after the start", 36001},
      {at(M(6), M(5)), "10 hours", M(23)},
      {at(M(7), M(7)), "The stop time must differ from the start time.", 0},
      {at(M(7), kSecondsPerDay), "stop time must be a time of day", -1},
      {at(M(7), INT_MIN), "stop time must be a time of day", -1},
      {Plan(-1, StopKind::ByHand, 0), "start time must be a time of day", 0},
      {Plan(kSecondsPerDay, StopKind::ByHand, 0), "start time", 0},
      {Plan(0, static_cast<StopKind>(7), 60), "must stop by hand", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Problem);
    const std::string problem = PlanProblem(r.Plan);
    EXPECT_EQ(problem.empty(), *r.Problem == '\0') << problem;
    EXPECT_NE(problem.find(r.Problem), std::string::npos) << problem;
    const std::int32_t planned = PlannedSeconds(r.Plan);
    EXPECT_TRUE(r.Planned == -1 || planned == r.Planned) << planned;
    // A refused plan is never armed.
    timer.Arm(r.Plan);
    EXPECT_EQ(timer.Phase(), problem.empty() ? TimerPhase::Armed : TimerPhase::Off);
  }
}

TEST_F(TimerScheduleTest, DailyPlanRunsOnceEachDayAtItsLocalTimes) {
  const TimerPlan overnight = Plan(M(22), StopKind::AtTime, M(8), true);
  struct Row {
    const char* Name;
    TimerPlan Plan;
    int Mon, Date;                     // the first of three days
    std::int32_t Starts[3], Stops[3];  // after each day's midnight UTC
  } rows[] = {
      // clang-format off
      {"ordinary days", kDaily7, 1, 13, {M(6), M(6), M(6)}, {M(7), M(7), M(7)}},
      {"clocks forward", kDaily7, 3, 28, {M(6), M(5), M(5)}, {M(7), M(6), M(6)}},
      {"clocks forward, skipped hour", Hour(M(2, 30), true), 3, 28,
       {M(1, 30), M(1, 30), M(0, 30)}, {M(2, 30), M(2, 30), M(1, 30)}},
      {"clocks back", kDaily7, 10, 24, {M(5), M(6), M(6)}, {M(6), M(7), M(7)}},
      {"clocks back, repeated hour", Hour(M(2, 30), true), 10, 24,
       {M(0, 30), M(0, 30), M(1, 30)}, {M(1, 30), M(1, 30), M(2, 30)}},
      {"22:00 to 08:00, clocks back", overnight, 10, 23,
       {M(20), M(20), M(21)}, {M(30), M(31), M(31)}},  // ten hours on the clock, eleven real
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    const std::int64_t first = Utc(2026, r.Mon, r.Date);
    ArmAt(first, r.Plan);  // 01:00 or 02:00 there
    RunTo(first + 2 * kSecondsPerDay + r.Stops[2] + 3600);
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i) {
      expected.push_back(Event(first + i * kSecondsPerDay + r.Starts[i], TimerAction::Start));
      expected.push_back(Event(first + i * kSecondsPerDay + r.Stops[i], TimerAction::Stop));
    }
    EXPECT_EQ(events, expected);
    EXPECT_EQ(timer.LastRunDay(), first / kSecondsPerDay + 2);
  }
}

TEST_F(TimerScheduleTest, Timelines) {
  // Armed at 06:00; along the way the wall clock may jump (a suspend, the
  // monotonic clock standing still; or the clock set back), the recorder may be
  // busy until a time, or the take may end early (the user's Stop, a full disk).
  const TimerPlan half = Plan(M(7), StopKind::AfterDuration, 1800, true);
  TimerPlan dailyByHand = kByHand7;
  dailyByHand.Daily = true;
  struct Row {
    const char* Name;
    TimerPlan Plan;
    std::int64_t JumpFrom, JumpTo, BusyUntil, EndedAt;  // 0: none
    std::vector<std::string> Expected;
    std::int64_t NextStart;  // 0: off
  } rows[] = {
      // clang-format off
      {"asleep over part of the window", kHour7, T(6, 50), T(7, 20), 0, 0,
       {Late("07:20:00", "20 min 0 s"), "08:00:00 stop"}, 0},
      {"asleep over all but 30 s", kAt7To8, T(6, 50), T(7, 59, 30), 0, 0,
       {Late("07:59:30", "59 min 30 s"), "08:00:00 stop"}, 0},
      {"asleep over the window", kHour7, T(6, 50), T(8, 10), 0, 0, {Skipped("08:10:00")}, 0},
      {"asleep over the window, daily", kDaily7, T(6, 50), T(8, 10), 0, 0, {Skipped("08:10:00")},
       T(31)},
      {"asleep three days, waking in a window", kDaily7, T(6, 50), T(79, 10), 0, 0,
       {Skipped("79:10:00"), Late("79:10:01", "10 min 1 s"), "80:00:00 stop"}, T(103)},
      {"asleep during a take with a stop time", kAt7To8, T(7, 30), T(8, 20), 0, 0,
       {"07:00:00 start", "08:20:00 stop"}, 0},
      {"clock back an hour after the take", half, T(7, 40), T(6, 40), 0, 0,
       {"07:00:00 start", "07:30:00 stop"}, T(31)},
      {"clock back an hour during the take", half, T(7, 10), T(6, 10), 0, 0,
       {"07:00:00 start", "06:30:00 stop"}, T(31)},
      {"busy, duration", kHour7, 0, 0, T(7, 10), 0,
       {Late("07:10:00", "10 min 0 s"), "08:00:00 stop"}, 0},
      {"busy over the window", kHour7, 0, 0, T(8, 30), 0, {Skipped("08:00:00", true)}, 0},
      {"busy, by hand", kByHand7, 0, 0, T(12), T(12, 30), {Late("12:00:00", "5 h 0 min")}, 0},
      {"ended early", kHour7, 0, 0, 0, T(7, 10), {"07:00:00 start"}, 0},
      {"ended early, by hand", dailyByHand, 0, 0, 0, T(7, 10), {"07:00:00 start"}, T(31)},
      {"across midnight, stop time", Plan(M(23, 30), StopKind::AtTime, M(0, 15)), 0, 0, 0, 0,
       {"23:30:00 start", "24:15:00 stop"}, 0},
      {"across midnight, duration", Hour(M(23, 30)), 0, 0, 0, 0,
       {"23:30:00 start", "24:30:00 stop"}, 0},
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    busy = r.BusyUntil != 0;
    ArmAt(T(6), r.Plan);
    if (r.JumpFrom) {
      RunTo(r.JumpFrom);
      wall = r.JumpTo;
      Tick();
    }
    RunTo(T(7, 5));
    if (busy) {
      EXPECT_EQ(timer.StatusText(), "Timer: waiting");
    }
    if (r.BusyUntil) {
      RunTo(r.BusyUntil - 1);
      busy = false;
    }
    if (r.EndedAt) {
      RunTo(r.EndedAt - 1);
      recording = false;
    }
    RunTo(std::max(T(26), r.JumpTo + 7200));
    EXPECT_EQ(events, r.Expected);
    EXPECT_EQ(timer.Phase(), r.NextStart ? TimerPhase::Armed : TimerPhase::Off);
    EXPECT_EQ(timer.StartWall(), r.NextStart);
  }
}

TEST_F(TimerScheduleTest, ArmingAtStartUp) {
  const std::int64_t tomorrow = T(31), ran = kJan15, notRan = kJan15 - 1;
  struct Row {
    const char* Name;
    TimerPlan Plan;
    std::int64_t At;
    bool CatchUp;
    std::int64_t LastRunDay;
    std::string Event;       // the first tick's, if any
    std::int64_t StartWall;  // after it
  } rows[] = {
      // clang-format off
      {"window open", kDaily7, T(7, 20), true, notRan, Late("07:20:00", "20 min 0 s"), T(7)},
      {"window open, its day ran", kDaily7, T(7, 20), true, ran, "", tomorrow},
      {"window open, no catch-up", kDaily7, T(7, 20), false, -1, "", tomorrow},
      {"window passed", kDaily7, T(8, 20), true, notRan, Missed("08:20:00"), tomorrow},
      {"window passed, no day stored", kDaily7, T(8, 20), true, -1, "", tomorrow},
      {"one-off passed, armed the day before", kHour7, T(8, 20), true, notRan, Missed("08:20:00"),
       tomorrow},
      {"yesterday's passed, today's open", kDaily7, T(7, 20), true, kJan15 - 2,
       Missed("07:20:00", "; started 20 min 0 s late (the start was 07:00:00)"), T(7)},
      {"before the start", kDaily7, T(6), true, notRan, "", T(7)},
      {"stored day far ahead", kDaily7, T(7, 20), true, kJan15 + 1000,
       Late("07:20:00", "20 min 0 s"), T(7)},
      {"yesterday's, past midnight", Hour(M(23, 30)), T(24, 10), true, notRan,
       "24:10:00 start / Timer: started 40 min 0 s late (the start was 23:30:00)", T(23, 30)},
      {"by hand, 9 h 59 min late", kByHand7, T(16, 59), true, notRan,
       Late("16:59:00", "9 h 59 min"), T(7)},
      {"by hand, 10 h late", kByHand7, T(17), true, notRan, Missed("17:00:00"), tomorrow},
      {"start now, armed a second on", Hour(M(10)), T(10, 0, 1), false, -1, "10:00:01 start",
       T(10)},
      // clang-format on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    Restart();
    ArmAt(r.At, r.Plan, r.CatchUp, r.LastRunDay);
    Tick();
    Tick();  // what there was to tell is told once
    EXPECT_EQ(events, r.Event.empty() ? std::vector<std::string>{} : std::vector{r.Event});
    EXPECT_EQ(timer.StartWall(), r.StartWall);
  }
}

TEST_F(TimerScheduleTest, NewPlanForADayThatRanIsNotHeldBackAfterARestart) {
  ArmAt(T(9), Hour(M(12)), false, kJan15);
  EXPECT_EQ(timer.StartWall(), T(12));
  const std::int64_t stored = timer.LastRunDay();
  Restart();  // at 10:00, arming what it stored
  ArmAt(T(10), Hour(M(12)), true, stored);
  EXPECT_EQ(timer.StartWall(), T(12));
  // Armed after today's start: today is behind the plan, and is not caught up after a restart.
  ArmAt(T(7, 30), kDaily7);
  EXPECT_EQ(timer.LastRunDay(), kJan15);
}

TEST_F(TimerScheduleTest, StatusText) {
  ArmAt(T(5), kHour7);
  const std::pair<std::int64_t, const char*> rows[] = {
      {T(5, 59, 59), "Armed 07:00:00"}, {T(6), "Armed 07:00:00"},
      {T(6, 0, 1), "Armed, in 59:59"},  {T(6, 47, 26), "Armed, in 12:34"},
      {T(7, 30), "Until 08:00:00"},     {T(8, 30), ""},
  };
  for (const auto& [at, text] : rows) {
    RunTo(at);
    EXPECT_EQ(timer.StatusText(), text);
    EXPECT_EQ(timer.StopWall(), at < T(8) ? T(8) : 0);
  }
  ArmAt(T(6), kByHand7);
  RunTo(T(7, 1));
  EXPECT_EQ(timer.StatusText(), "Timed");
  EXPECT_EQ(timer.StopWall(), 0);

  // A window jumped over (or missed, after a restart) is told once; the next one is shown.
  for (const bool restart : {false, true}) {
    ArmAt(restart ? T(8, 10) : T(6), kDaily7, restart, kJan15 - 1);
    wall = T(8, 10);
    EXPECT_EQ(timer.Tick(true, false).Notice, restart ? TimerNotice::Missed : TimerNotice::Skipped);
    EXPECT_EQ(timer.Tick(true, false).Notice, TimerNotice::None);
    EXPECT_EQ(timer.StatusText(), "Armed tomorrow 07:00:00");
  }
}

}  // namespace
}  // namespace tavrin::schedule
