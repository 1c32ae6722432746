#include <gtest/gtest.h>

#include "paired_drift.h"

namespace tavrin::platform {
namespace {

TEST(PairedDrift, Probe) {
  for (double ppm : {300.0, -300.0}) {
    testing::DriftRunOptions options;
    options.Seconds = 600;
    options.SecondPpm = ppm;
    const testing::DriftRun run = testing::RunDrift(options);
    std::printf("ppm %g max %.3f ms missing %llu fill %llu frames %llu\n", ppm, run.MaxOffsetMs,
                (unsigned long long)run.MissingClicks, (unsigned long long)run.FillFrames,
                (unsigned long long)run.Frames);
    for (std::size_t i = 0; i < run.OffsetsMs.size(); i += 30) std::printf("%.2f ", run.OffsetsMs[i]);
    std::printf("\n");
  }
}

}  // namespace
}  // namespace tavrin::platform
