#include <gtest/gtest.h>

#include "paired_drift.h"

namespace tavrin::platform {
namespace {

// Under the sanitizers our side runs several times slower; the span is cut
// there. The benchmark runs the full ten hours.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSpanSeconds = 90;
#else
constexpr double kSpanSeconds = 240;
#endif

struct DriftCase {
  const char* Name;
  double Ppm;
  double DropAtSeconds;  // the second source loses audio there (0: never)
  std::uint64_t DropFrames;
  std::int64_t StartOffsetFrames;  // 441: the second's audio 10 ms later
  double StallAtSeconds = 0;       // not polled for 8 s from there: both lose audio
};

class PairedDrift : public ::testing::TestWithParam<DriftCase> {};

TEST_P(PairedDrift, SecondSourceStaysWithinFiveMsOfItsPlaceAndItsLossesBecomeSilence) {
  const DriftCase drift = GetParam();
  testing::DriftRunOptions options;
  options.Seconds = kSpanSeconds;
  options.SecondPpm = drift.Ppm;
  options.DropAtSeconds = drift.DropAtSeconds;
  options.DropFrames = drift.DropFrames;
  options.StartOffsetFrames = drift.StartOffsetFrames;
  options.StallAtSeconds = drift.StallAtSeconds;
  options.StallFrames = drift.StallAtSeconds > 0 ? 8 * 44100 : 0;
  const testing::DriftRun run = testing::RunDrift(options);
  EXPECT_LE(run.MaxOffsetMs, 5.0);
  EXPECT_EQ(run.MissingClicks, drift.StartOffsetFrames < 0 ? 1u : 0u)
      << "only an earlier start may skip a click: the second's very first";
  EXPECT_EQ(run.FillFrames, drift.DropFrames);
  EXPECT_GE(run.OffsetsMs.size(), static_cast<std::size_t>(kSpanSeconds) - 2);
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, PairedDrift,
    ::testing::Values(DriftCase{"Faster", 300, 0, 0, 0}, DriftCase{"Slower", -300, 0, 0, 0},
                      DriftCase{"FasterLosingHalfASecond", 300, 60.1, 22050, 0},
                      DriftCase{"SlowerStartingLater", -300, 0, 0, 441},
                      DriftCase{"FasterStartingEarlier", 300, 0, 0, -441},
                      DriftCase{"FasterPolledLate", 300, 0, 0, 0, 60.1}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace tavrin::platform
