#include "capture/signal_processing.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/samples.h"

namespace tavrin::capture {
namespace {

class BufferProcessing : public ::testing::Test {
protected:
  void SetUp() override {
    State.AllocateCaptureMemory();
    State.CurrentBuffer = 3;
    State.WaveHeaders[3].User = 77;
    State.Recording = true;
  }
  void Fill(std::int16_t left, std::int16_t right) {
    for (int j = 0; j < kFramesPerBuffer; ++j) SetFrame(j, left, right);
  }
  void SetFrame(int j, std::int16_t left, std::int16_t right) {
    std::uint8_t* frame = State.CaptureMemory.data() + 3 * kBufferBytes + 4 * j;
    std::memcpy(frame, &left, 2);
    std::memcpy(frame + 2, &right, 2);
  }
  std::int16_t StoredLeft(int j) const {
    std::int16_t value = 0;
    std::memcpy(&value, State.CaptureMemory.data() + 3 * kBufferBytes + 4 * j, 2);
    return value;
  }
  void Process() {
    SplitBuffer(State);
    StoreBufferPeaks(State);
    ComputeChannelMeans(State);
  }
  RecorderState State;
};

TEST_F(BufferProcessing, ClipIsJudgedOnRawSamplesAndHeldThirtyBuffers) {
  Fill(0, 0);
  SetFrame(100, 32767, 0);
  State.DcOffsetLeft = 10;  // moves the corrected sample away from full scale
  Process();
  EXPECT_EQ(State.ClipHoldLeft, 30);
  EXPECT_EQ(State.ClipHoldRight, 0);
  EXPECT_EQ(State.MaxLeft, 32757);

  Fill(0, -32768);
  State.DcOffsetLeft = 0;
  Process();
  EXPECT_EQ(State.ClipHoldRight, 30);
  EXPECT_EQ(State.ClipHoldLeft, 29);

  Fill(0, 0);
  for (int i = 0; i < 29; ++i) Process();
  EXPECT_EQ(State.ClipHoldLeft, 0);
  EXPECT_EQ(State.ClipHoldRight, 1);
  Process();
  EXPECT_EQ(State.ClipHoldRight, 0);
}

TEST_F(BufferProcessing, DcSubtractionWrapsInSixteenBits) {
  Fill(-32766, 32760);
  State.DcOffsetLeft = 5;
  State.DcOffsetRight = -10;
  Process();
  EXPECT_EQ(State.LeftSamples[0], 32765);
  EXPECT_EQ(State.RightSamples[0], -32766);
  EXPECT_EQ(StoredLeft(4409), 32765) << "the buffer itself is rewritten corrected";
}

TEST_F(BufferProcessing, PeakStartValuesDifferBetweenChannels) {
  Fill(-32768, -32768);
  Process();
  EXPECT_EQ(State.Take.Peaks[77].MaxLeft, -32767);
  EXPECT_EQ(State.Take.Peaks[77].MaxRight, -32768);
  EXPECT_EQ(State.Take.Peaks[77].MinLeft, -32768);
  EXPECT_EQ(State.Take.Peaks[77].MinRight, -32768);
}

TEST_F(BufferProcessing, ExtremesAndMeansOfAKnownBuffer) {
  Fill(100, -50);
  SetFrame(0, 3000, -7000);
  SetFrame(4409, -2000, 6000);
  Process();
  EXPECT_EQ(State.MaxLeft, 3000);
  EXPECT_EQ(State.MinLeft, -2000);
  EXPECT_EQ(State.MaxRight, 6000);
  EXPECT_EQ(State.MinRight, -7000);
  EXPECT_DOUBLE_EQ(State.MeanLeft, (100.0 * 4408 + 3000 - 2000) / 4410);
  EXPECT_DOUBLE_EQ(State.MeanRight, (-50.0 * 4408 - 7000 + 6000) / 4410);

  // Monitoring between takes leaves the take's peaks as they were.
  State.Recording = false;
  State.WaveHeaders[3].User = 77;
  Fill(5, 5);
  Process();
  EXPECT_EQ(State.MaxLeft, 5);
  EXPECT_EQ(State.Take.Peaks[77].MaxLeft, 3000);
}

TEST_F(BufferProcessing, PeakTableIsNeverWrittenPastItsLastEntry) {
  Fill(1000, 1000);
  State.WaveHeaders[3].User = kPeakTableEntries - 1;
  Process();
  EXPECT_EQ(State.Take.Peaks[kPeakTableEntries - 1].MaxLeft, 1000);
  State.WaveHeaders[3].User = kPeakTableEntries;  // would be one past the end
  Process();
  State.WaveHeaders[3].User = 4000000000u;
  Process();
  EXPECT_EQ(State.MaxLeft, 1000) << "the meters still get their values";
}

class DcHistory : public ::testing::Test {
protected:
  void Record(double left, double right) {
    State.MeanLeft = left;
    State.MeanRight = right;
    RecordDcHistory(State);
  }
  RecorderState State;
};

TEST_F(DcHistory, EstimateFromEmptyHistoryKeepsTheOffsets) {
  State.DcOffsetLeft = 0;
  State.DcOffsetRight = 7;
  for (int i = 0; i < 50; ++i) Record(0.4, -0.3);  // all round to 0: empty slots
  EstimateDcOffset(State);
  EXPECT_EQ(State.DcOffsetLeft, 0);
  EXPECT_EQ(State.DcOffsetRight, 7);
}

TEST_F(DcHistory, EstimateAveragesNonEmptySlotsRoundingHalvesToEven) {
  Record(2.5, 1.0);  // 2.5 rounds to 2
  Record(3.0, 2.0);
  Record(0.0, 0.0);  // empty, not counted
  EstimateDcOffset(State);
  EXPECT_EQ(State.DcOffsetLeft, 2) << "(2 + 3) / 2 = 2.5 rounds to 2";
  EXPECT_EQ(State.DcOffsetRight, 2) << "(1 + 2) / 2 = 1.5 rounds to 2";
  for (int slot = 1; slot <= kDcHistorySlots; ++slot) {
    EXPECT_EQ(State.DcHistoryLeft[slot], 0);
    EXPECT_EQ(State.DcHistoryRight[slot], 0);
  }
}

TEST_F(DcHistory, SlotsCycleOneToFiftyAndTheMeterKeepsItsValueWhenEmpty) {
  for (int i = 0; i < 50; ++i) Record(10.0, -4.0);
  EXPECT_EQ(State.DcHistorySlot, 50);
  Record(20.0, -4.0);
  EXPECT_EQ(State.DcHistorySlot, 1);
  ComputeDcMeter(State);
  EXPECT_DOUBLE_EQ(State.DcMeterLeft, (49 * 10.0 + 20.0) / 50);
  EXPECT_DOUBLE_EQ(State.DcMeterRight, -4.0);

  EstimateDcOffset(State);  // empties the history
  ComputeDcMeter(State);
  EXPECT_DOUBLE_EQ(State.DcMeterRight, -4.0);
}

TEST(Rounding, HalvesGoToEven) {
  EXPECT_EQ(base::RoundHalfEven(0.5), 0);
  EXPECT_EQ(base::RoundHalfEven(1.5), 2);
  EXPECT_EQ(base::RoundHalfEven(-2.5), -2);
  EXPECT_EQ(base::RoundHalfEven(-2.6), -3);
}

}  // namespace
}  // namespace tavrin::capture
