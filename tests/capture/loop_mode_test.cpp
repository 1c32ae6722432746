#include "base/recording_modes.h"
#include "capture_test_support.h"

namespace tavrin::capture::testing {
namespace {

TEST(RecordingModes, ListSetsTheLoopFields) {
  RecorderState state;
  struct Row {
    int Index;
    int Minutes;
    int Halves;
  };
  for (const Row& row : {Row{1, 3, 90}, Row{2, 5, 150}, Row{3, 10, 300}, Row{4, 15, 450},
                         Row{5, 20, 600}, Row{6, 30, 900}, Row{7, 60, 1800}}) {
    ApplyLoopMode(state, row.Index);
    EXPECT_TRUE(state.LoopMode);
    EXPECT_EQ(state.LoopMinutes, row.Minutes);
    EXPECT_EQ(state.LoopHalves, row.Halves);
    EXPECT_EQ(state.TimeScaleMinutes, row.Minutes);
  }
  ApplyLoopMode(state, 0);
  EXPECT_FALSE(state.LoopMode);
  EXPECT_EQ(state.LoopMinutes, 60) << "continuous keeps the last loop length";
  EXPECT_EQ(state.LoopHalves, 1800);
  EXPECT_EQ(state.TimeScaleMinutes, 3);
  ApplyLoopMode(state, 99);
  EXPECT_FALSE(state.LoopMode);
  EXPECT_EQ(base::kRecordingModes[3].ItemText, "Loop10 min");
}

class LoopTake : public CaptureFixture {
protected:
  static constexpr std::uint64_t kLoopFrames = 3ull * 60 * kSampleRate;
  void SetUp() override {
    CaptureFixture::SetUp();
    ApplyLoopMode(State, 1);
  }
  // Starts a take and returns the device frame index of its first frame.
  std::uint64_t Start() {
    EXPECT_TRUE(StartTake(State, Context));
    return Device.FramesProduced();
  }
  // Writes `halves` complete halves with one poll each.
  void WriteHalves(int halves) {
    for (int i = 0; i < halves; ++i) RunAndPoll(kFramesPerHalf);
  }
};

TEST_F(LoopTake, ReadsOldestFirstAfterMoreThanTwoPassesWithDcAndRandomPolls) {
  State.DcOffsetLeft = -300;
  State.DcOffsetRight = 25;
  const std::uint64_t first = Start();
  std::mt19937 random(42);
  const std::uint64_t total = 2 * kLoopFrames + 77 * kSampleRate + 3 * kFramesPerBuffer + 999;
  RunWithRandomPolls(total, random);
  StopTake(State, Context);

  const std::uint64_t keptBuffers = total / kFramesPerBuffer;
  ASSERT_EQ(State.Take.TakeLength, 1800u);
  EXPECT_TRUE(State.LoopWrapped);
  EXPECT_EQ(std::filesystem::file_size(State.Take.RawPath), 31752000u);
  const std::uint64_t end = first + keptBuffers * kFramesPerBuffer;
  EXPECT_EQ(
      FirstMismatch(ReadTakeInOrder(), SourceFrames(end - kLoopFrames, kLoopFrames, -300, 25)), -1);
}

TEST_F(LoopTake, TheNinetyFirstHalfOverwritesTheStartOfTheFile) {
  const std::uint64_t first = Start();
  WriteHalves(91);
  const std::vector<Frame> file = ReadTakeFile();
  ASSERT_EQ(file.size(), kLoopFrames);
  const std::vector<Frame> firstHalf(file.begin(), file.begin() + kFramesPerHalf);
  EXPECT_EQ(FirstMismatch(firstHalf, SourceFrames(first + 90 * kFramesPerHalf, kFramesPerHalf)),
            -1);
  EXPECT_EQ(State.HalvesWritten, 1);
}

TEST_F(LoopTake, StopInALaterPassReadsFromAfterTheLastBufferWritten) {
  const std::uint64_t first = Start();
  WriteHalves(90 + 7);                        // k = 7 halves into the second pass
  Device.Advance(5 * kFramesPerBuffer + 10);  // m = 5
  StopTake(State, Context);
  EXPECT_EQ(State.Take.TakeLength, 1800u);
  EXPECT_EQ(State.RecordedBuffers, 7u * 20 + 5);
  const std::vector<TakeRun> runs = TakeRuns(State);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].FirstBuffer, 146u);
  EXPECT_EQ(runs[0].Buffers, 1800u - 145);
  EXPECT_EQ(runs[1].FirstBuffer, 1u);
  EXPECT_EQ(runs[1].Buffers, 145u);
  const std::uint64_t end = first + (97 * 20 + 5) * std::uint64_t{kFramesPerBuffer};
  EXPECT_EQ(FirstMismatch(ReadTakeInOrder(), SourceFrames(end - kLoopFrames, kLoopFrames)), -1);
}

TEST_F(LoopTake, StopRightAfterTheRingFilledKeepsTheLastThreeMinutesInOrder) {
  const std::uint64_t first = Start();
  WriteHalves(90);  // this half fills the ring
  Device.Advance(6 * kFramesPerBuffer + 10);
  StopTake(State, Context);
  EXPECT_EQ(State.Take.TakeLength, 1800u)
      << "the final buffers go round to the start, not past the end";
  EXPECT_EQ(State.RecordedBuffers, 6u);
  const std::uint64_t end = first + (90 * 20 + 6) * std::uint64_t{kFramesPerBuffer};
  EXPECT_EQ(FirstMismatch(ReadTakeInOrder(), SourceFrames(end - kLoopFrames, kLoopFrames)), -1);
}

TEST_F(LoopTake, ABufferMeasuredJustBeforeTheWrapKeepsItsDcAndPeaks) {
  State.DcOffsetLeft = 1000;
  const std::uint64_t first = Start();
  WriteHalves(89);
  // The ring-filling half completes and the first buffer of the next is
  // already measured by the same poll, before the wrap renumbers it to 1.
  RunAndPoll(kFramesPerHalf + kFramesPerBuffer);
  // 89 halves ended in ring half 0, so the ring-filling half is half 1 and
  // the measured buffer is ring buffer 0, queued as number 1801.
  EXPECT_EQ(State.WaveHeaders[0].User, 0u);
  EXPECT_EQ(State.BufferNumbers[0], 1u);
  EXPECT_EQ(State.Take.Peaks[1].MaxLeft, State.Take.Peaks[1801].MaxLeft);
  EXPECT_NE(State.Take.Peaks[1].MaxLeft, 0);
  RunAndPoll(kFramesPerHalf - kFramesPerBuffer);
  StopTake(State, Context);
  const std::uint64_t end = first + 91 * kFramesPerHalf;
  EXPECT_EQ(FirstMismatch(ReadTakeInOrder(), SourceFrames(end - kLoopFrames, kLoopFrames, 1000)),
            -1);
}

TEST_F(LoopTake, LatePollAcrossTheWrapWritesBothHalvesInOrder) {
  const std::uint64_t first = Start();
  WriteHalves(88);
  // Half 89 and the ring-filling half 90 complete before the next poll, then
  // three buffers of the next pass; the take stops before any further poll.
  Device.Advance(2 * kFramesPerHalf);
  StopTake(State, Context);
  EXPECT_EQ(State.Take.TakeLength, 1800u);
  const std::uint64_t end = first + 90 * kFramesPerHalf;
  EXPECT_EQ(FirstMismatch(ReadTakeInOrder(), SourceFrames(end - kLoopFrames, kLoopFrames)), -1);
}

TEST_F(LoopTake, StopBeforeTheRingFilledReadsFromTheStart) {
  const std::uint64_t first = Start();
  WriteHalves(10);
  Device.Advance(4 * kFramesPerBuffer);
  StopTake(State, Context);
  EXPECT_FALSE(State.LoopWrapped);
  EXPECT_EQ(State.Take.TakeLength, 204u);
  EXPECT_EQ(State.RecordedBuffers, 204u);
  ASSERT_EQ(TakeRuns(State).size(), 1u);
  EXPECT_EQ(FirstMismatch(ReadTakeInOrder(), SourceFrames(first, 204 * kFramesPerBuffer)), -1);
}

TEST_F(LoopTake, OrderSurvivesAModeChangeAfterStop) {
  Start();
  WriteHalves(95);
  StopTake(State, Context);
  const std::vector<TakeRun> before = TakeRuns(State);
  ApplyLoopMode(State, 0);
  const std::vector<TakeRun> after = TakeRuns(State);
  ASSERT_EQ(before.size(), 2u);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0].FirstBuffer, before[0].FirstBuffer);
}

using ContinuousTake = CaptureFixture;

TEST_F(ContinuousTake, NeverSeeksAndCountsEveryHalf) {
  ASSERT_TRUE(StartTake(State, Context));
  for (int i = 1; i <= 100; ++i) {
    RunAndPoll(kFramesPerHalf);
    ASSERT_EQ(State.Take.RawStream.Position(), State.Take.RawStream.Size());
  }
  EXPECT_EQ(State.HalvesWritten, 100);
  EXPECT_FALSE(State.LoopWrapped);
}

}  // namespace
}  // namespace tavrin::capture::testing
