// The recorder window's 100 ms timer while the sound server stops answering:
// 10 s of monitoring on the private daemon, the daemon stopped (SIGSTOP) for
// the middle 5 s. Prints the longest gap between two ticks.
#include <signal.h>

#include <QApplication>
#include <QTest>
#include <cstdio>

#include "../e2e/pulse_daemon_pid.h"
#include "pulse_window_rig.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const pid_t daemon = tavrin::testing::PulseDaemonPid();
  if (daemon <= 0) {
    std::fprintf(stderr, "recorder_gap_bench: no private PulseAudio daemon\n");
    return 1;
  }
  tavrin::testing::PulseWindowRig rig("gap-bench");
  rig.Create();
  if (!QTest::qWaitFor([&] { return rig.State.DeviceOpen; }, 5000)) {
    std::fprintf(stderr, "recorder_gap_bench: the capture did not open\n");
    return 1;
  }
  const qint64 start = rig.Clock.elapsed();
  QTest::qWait(2500);
  ::kill(daemon, SIGSTOP);
  {
    const tavrin::testing::ContinueAtExit resume{daemon};
    QTest::qWait(5000);
  }
  QTest::qWait(2500);
  std::printf("ui_max_gap_ms: %lld ms\n", static_cast<long long>(rig.LongestTickGapMs(start)));
  return 0;
}
