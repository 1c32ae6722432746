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
  testing::DriftRunOptions Options;  // over kSpanSeconds
};

class PairedDrift : public ::testing::TestWithParam<DriftCase> {};

TEST_P(PairedDrift, SecondSourceStaysWithinFiveMsOfItsPlaceAndItsLossesBecomeSilence) {
  testing::DriftRunOptions options = GetParam().Options;
  options.Seconds = kSpanSeconds;
  const testing::DriftRun run = testing::RunDrift(options);
  EXPECT_LE(run.MaxOffsetMs, 5.0);
  EXPECT_EQ(run.MissingClicks, options.StartOffsetFrames < 0 ? 1u : 0u)
      << "only an earlier start may skip a click: the second's very first";
  EXPECT_EQ(run.FillFrames, options.DropAtSeconds > 0 ? 22050u : 0u);
  EXPECT_GE(run.OffsetsMs.size(), static_cast<std::size_t>(kSpanSeconds) - 2);
}

// 441 frames of start offset: the second's audio 10 ms later.
INSTANTIATE_TEST_SUITE_P(
    Clocks, PairedDrift,
    ::testing::Values(
        DriftCase{"Faster", {.SecondPpm = 300}}, DriftCase{"Slower", {.SecondPpm = -300}},
        DriftCase{"FasterLosingHalfASecond", {.SecondPpm = 300, .DropAtSeconds = 60.1}},
        DriftCase{"FasterPolledLate", {.SecondPpm = 300, .StallAtSeconds = 60.1}},
        DriftCase{"SlowerStartingLater", {.SecondPpm = -300, .StartOffsetFrames = 441}},
        DriftCase{"FasterStartingEarlier", {.SecondPpm = 300, .StartOffsetFrames = -441}},
        DriftCase{"SecondLaterByTheLatencyItReports",
                  {.SecondPpm = -300, .SecondLatencyFrames = 1764}}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace tavrin::platform
