// Two simulated sources whose clocks run 300 ppm apart, recorded side by side
// for a simulated 10 hours: the largest offset between their clicks in the
// take. Goal: at most 5 ms.
#include <cstdio>

#include "paired_drift.h"

int main() {
  tavrin::testing::DriftRunOptions options;
  options.Seconds = 10 * 3600;
  options.SecondPpm = 300;
  const tavrin::testing::DriftRun run = tavrin::testing::RunDrift(options);
  std::printf("two_source_drift_ms: %.2f ms\n", run.MaxOffsetMs);
  std::printf("two_source_missing_clicks: %llu\n",
              static_cast<unsigned long long>(run.MissingClicks));
  return run.MissingClicks == 0 ? 0 : 1;
}
