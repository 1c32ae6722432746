#include "document/peaks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace tavrin::document {
namespace {

// The extremes by the plainest rule, one frame at a time.
BufferPeaks Reference(const std::vector<std::int16_t>& samples) {
  BufferPeaks peaks = kStartPeaks;
  for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
    peaks.Include(BufferPeaks{samples[i], samples[i], samples[i + 1], samples[i + 1]});
  }
  return peaks;
}

BufferPeaks Measure(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes(2 * samples.size());
  if (!bytes.empty()) std::memcpy(bytes.data(), samples.data(), bytes.size());
  return MeasurePeaks(bytes.data(), samples.size() / 2);
}

void ExpectEqual(const BufferPeaks& got, const BufferPeaks& want) {
  EXPECT_EQ(got.MaxLeft, want.MaxLeft);
  EXPECT_EQ(got.MinLeft, want.MinLeft);
  EXPECT_EQ(got.MaxRight, want.MaxRight);
  EXPECT_EQ(got.MinRight, want.MinRight);
}

TEST(MeasurePeaks, MatchesTheFrameByFrameRuleForEveryLengthAndPlace) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  // Lengths round the vector width, and a whole buffer; each extreme is put
  // in turn at every place of the shortest ones, so the tail counts too.
  for (std::size_t frames : {0, 1, 15, 16, 17, 31, 33, 4410}) {
    std::vector<std::int16_t> samples(2 * frames);
    for (auto& s : samples) s = static_cast<std::int16_t>(sample(random) / 4);
    ExpectEqual(Measure(samples), Reference(samples));
    for (std::size_t i = 0; frames <= 33 && i < samples.size(); ++i) {
      std::vector<std::int16_t> spiked = samples;
      spiked[i] = i % 3 == 0 ? 32767 : -32768;
      ExpectEqual(Measure(spiked), Reference(spiked));
    }
  }
}

TEST(MeasurePeaks, PinnedChannelsShowTheStartRule) {
  const std::vector<std::int16_t> pinned(2 * 4410, -32768);
  ExpectEqual(Measure(pinned), BufferPeaks{-32767, -32768, -32768, -32768});
  ExpectEqual(Measure({}), kStartPeaks);
}

}  // namespace
}  // namespace tavrin::document
