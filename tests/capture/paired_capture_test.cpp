#include <cmath>
#include <limits>

#include "capture_test_support.h"

namespace tavrin::capture::testing {
namespace {

constexpr double kSilentDb = -std::numeric_limits<double>::infinity();

class PairedCapture : public CaptureFixture {
protected:
  void Pair(platform::PairMode mode, double firstDb, double secondDb) {
    SecondDevice.SetDevices({{"Line In", platform::kWaveFormatAll, 2, "line"}});
    Paired.SetSecond("line", mode, firstDb, secondDb);
  }
  // Three seconds of two steady sources; the take's frames from one second on
  // (past the resampler's first response) in `settled`.
  std::vector<Frame> RecordSteady(Frame first, Frame second, std::vector<Frame>& settled) {
    Device.SetSignal(
        [=](std::uint64_t, std::int16_t& l, std::int16_t& r) { l = first.Left, r = first.Right; });
    SecondDevice.SetSignal([=](std::uint64_t, std::int16_t& l, std::int16_t& r) {
      l = second.Left, r = second.Right;
    });
    EXPECT_TRUE(StartTake(State, Context));
    for (int i = 0; i < 30; ++i) RunAndPoll(kFramesPerBuffer);
    StopTake(State, Context);
    std::vector<Frame> take = ReadTakeFile();
    EXPECT_EQ(take.size(), 30u * kFramesPerBuffer);
    settled.assign(take.begin() + std::min<std::size_t>(take.size(), 44100), take.end());
    return take;
  }
};

TEST_F(PairedCapture, MixedSumIsLimitedAtTheRangeNeverWrappedAndShowsAsClipping) {
  Pair(platform::PairMode::Mixed, 0, 0);
  std::vector<Frame> settled;
  for (const Frame& frame : RecordSteady({30000, -30000}, {10000, -10000}, settled)) {
    ASSERT_GE(frame.Left, 29000) << "a sum past the range must not wrap to negative";
    ASSERT_LE(frame.Right, -29000);
  }
  for (const Frame& frame : settled) ASSERT_EQ(frame, (Frame{32767, -32768}));
  EXPECT_GT(State.ClipHoldLeft, 0);
  EXPECT_GT(State.ClipHoldRight, 0);
}

TEST_F(PairedCapture, SideBySideHoldsEachSourcesMonoMixInItsOwnChannelAtItsGain) {
  Pair(platform::PairMode::SideBySide, 0, -20 * std::log10(2.0));
  std::vector<Frame> settled;
  for (const Frame& frame : RecordSteady({1000, 3000}, {-8000, -8000}, settled)) {
    ASSERT_EQ(frame.Left, 2000);
  }
  for (const Frame& frame : settled) ASSERT_NEAR(frame.Right, -4000, 1);
}

// The second source goes away and comes back; the first source's audio (the
// second is mixed in at silence) must come through whole and in order.
TEST_F(PairedCapture, SecondSourceGoingAwayNeitherStallsNorEndsTheTake) {
  Pair(platform::PairMode::Mixed, 0, kSilentDb);
  ASSERT_TRUE(StartTake(State, Context));
  const std::uint64_t firstFrame = Device.FramesProduced();
  for (int i = 0; i < 50; ++i) RunAndPoll(kFramesPerBuffer);
  EXPECT_TRUE(Paired.SecondPresent());
  SecondDevice.SetDevices({});
  for (int i = 0; i < 100; ++i) RunAndPoll(kFramesPerBuffer);
  EXPECT_FALSE(Paired.SecondPresent());
  EXPECT_GE(Paired.SecondFillFrames(), 95u * kFramesPerBuffer);
  SecondDevice.SetDevices({{"Line In", platform::kWaveFormatAll, 2, "line"}});
  for (int i = 0; i < 50; ++i) RunAndPoll(kFramesPerBuffer);
  EXPECT_TRUE(Paired.SecondPresent()) << "opened again once listed";
  EXPECT_TRUE(State.Recording);
  StopTake(State, Context);

  EXPECT_EQ(State.Take.TakeLength, 200u);
  EXPECT_EQ(FirstMismatch(ReadTakeFile(), SourceFrames(firstFrame, 200 * kFramesPerBuffer)), -1);
  EXPECT_EQ(State.LostFrames, 0u);
  EXPECT_TRUE(Messages.empty());
}

}  // namespace
}  // namespace tavrin::capture::testing
