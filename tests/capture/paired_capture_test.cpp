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
  // Both clocks run on together; then the capture polls.
  void RunBoth(std::uint64_t frames) {
    SecondDevice.Advance(frames);
    RunAndPoll(frames);
  }
  static platform::SimulatedWaveIn::SignalSource Constant(std::int16_t left, std::int16_t right) {
    return [=](std::uint64_t, std::int16_t& l, std::int16_t& r) {
      l = left;
      r = right;
    };
  }
  // The take's frames from one second on, past the resampler's first response.
  std::vector<Frame> SettledTake() const {
    std::vector<Frame> frames = ReadTakeFile();
    frames.erase(frames.begin(), frames.begin() + std::min<std::size_t>(frames.size(), 44100));
    return frames;
  }
};

TEST_F(PairedCapture, MixedSumIsLimitedAtTheRangeNeverWrappedAndShowsAsClipping) {
  Pair(platform::PairMode::Mixed, 0, 0);
  Device.SetSignal(Constant(30000, -30000));
  SecondDevice.SetSignal(Constant(10000, -10000));
  ASSERT_TRUE(StartTake(State, Context));
  for (int i = 0; i < 30; ++i) RunBoth(kFramesPerBuffer);
  EXPECT_GT(State.ClipHoldLeft, 0);
  EXPECT_GT(State.ClipHoldRight, 0);
  StopTake(State, Context);
  const std::vector<Frame> take = ReadTakeFile();
  ASSERT_EQ(take.size(), 30u * kFramesPerBuffer);
  for (const Frame& frame : take) {
    ASSERT_GE(frame.Left, 29000) << "a sum past the range must not wrap to negative";
    ASSERT_LE(frame.Right, -29000);
  }
  for (const Frame& frame : SettledTake()) ASSERT_EQ(frame, (Frame{32767, -32768}));
}

TEST_F(PairedCapture, SideBySideHoldsEachSourcesMonoMixInItsOwnChannelAtItsGain) {
  Pair(platform::PairMode::SideBySide, 0, -20 * std::log10(2.0));
  Device.SetSignal(Constant(1000, 3000));
  SecondDevice.SetSignal(Constant(-8000, -8000));
  ASSERT_TRUE(StartTake(State, Context));
  for (int i = 0; i < 30; ++i) RunBoth(kFramesPerBuffer);
  StopTake(State, Context);
  for (const Frame& frame : ReadTakeFile()) ASSERT_EQ(frame.Left, 2000);
  for (const Frame& frame : SettledTake()) ASSERT_NEAR(frame.Right, -4000, 1);
}

// The second source drops audio, goes away and comes back; the first source's
// audio (the second is mixed in at silence) must come through whole and in order.
TEST_F(PairedCapture, SecondSourceLossesAndAbsenceNeverStallOrEndTheTake) {
  Pair(platform::PairMode::Mixed, 0, kSilentDb);
  ASSERT_TRUE(StartTake(State, Context));
  const std::uint64_t firstFrame = Device.FramesProduced();
  for (int i = 0; i < 50; ++i) RunBoth(kFramesPerBuffer);
  EXPECT_TRUE(Paired.SecondPresent());
  const std::uint64_t fillBefore = Paired.SecondFillFrames();
  SecondDevice.DropFrames(11025);
  for (int i = 0; i < 50; ++i) RunBoth(kFramesPerBuffer);
  EXPECT_EQ(Paired.SecondFillFrames() - fillBefore, 11025u);

  SecondDevice.SetDevices({});
  for (int i = 0; i < 50; ++i) RunBoth(kFramesPerBuffer);
  EXPECT_FALSE(Paired.SecondPresent());
  EXPECT_GE(Paired.SecondFillFrames() - fillBefore, 11025u + 45 * kFramesPerBuffer);
  SecondDevice.SetDevices({{"Line In", platform::kWaveFormatAll, 2, "line"}});
  for (int i = 0; i < 50; ++i) RunBoth(kFramesPerBuffer);
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
