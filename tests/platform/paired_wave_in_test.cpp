#include <gtest/gtest.h>

#include "paired_drift.h"

namespace tavrin::platform {
namespace {

// Under the sanitizers our side runs several times slower; the span is cut
// there. The benchmark runs the full ten hours.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSpanSeconds = 120;
#else
constexpr double kSpanSeconds = 360;
#endif

struct DriftCase {
  double Ppm;
  double DropAtSeconds;  // the second source loses audio there (0: never)
  std::uint64_t DropFrames;
};

class PairedDrift : public ::testing::TestWithParam<DriftCase> {};

TEST_P(PairedDrift, SecondSourceStaysWithinFiveMillisecondsThroughoutAndLossesBecomeSilence) {
  const DriftCase drift = GetParam();
  testing::DriftRunOptions options;
  options.Seconds = kSpanSeconds;
  options.SecondPpm = drift.Ppm;
  options.DropAtSeconds = drift.DropAtSeconds;
  options.DropFrames = drift.DropFrames;
  const testing::DriftRun run = testing::RunDrift(options);
  EXPECT_LE(run.MaxOffsetMs, 5.0);
  EXPECT_EQ(run.MissingClicks, 0u);
  EXPECT_EQ(run.FillFrames, drift.DropFrames);
  EXPECT_GE(run.OffsetsMs.size(), static_cast<std::size_t>(kSpanSeconds) - 2);
}

INSTANTIATE_TEST_SUITE_P(Clocks, PairedDrift,
                         ::testing::Values(DriftCase{300, 0, 0}, DriftCase{-300, 0, 0},
                                           DriftCase{300, 60.1, 22050}));

}  // namespace
}  // namespace tavrin::platform
