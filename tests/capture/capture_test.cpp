#include <fcntl.h>

#include <cstring>

#include "capture/signal_processing.h"
#include "capture_test_support.h"

namespace tavrin::capture::testing {
namespace {

using CaptureTake = CaptureFixture;

TEST_F(CaptureTake, ContinuousTakeWithRandomPollsIsBitExact) {
  ASSERT_TRUE(StartTake(State, Context));
  const std::uint64_t firstFrame = Device.FramesProduced();
  std::mt19937 random(20261207);
  RunWithRandomPolls(4ull * 60 * kSampleRate + 12345, random);
  StopTake(State, Context);

  const std::uint64_t buffers = (4ull * 60 * kSampleRate + 12345) / kFramesPerBuffer;
  EXPECT_EQ(State.Take.TakeLength, buffers);
  EXPECT_EQ(State.RecordedBuffers, buffers);
  EXPECT_EQ(State.LostFrames, 0u);
  EXPECT_EQ(FirstMismatch(ReadTakeFile(), SourceFrames(firstFrame, buffers * kFramesPerBuffer)),
            -1);
  EXPECT_TRUE(State.DeviceOpen) << "Stop reopens the device for the meters";
  EXPECT_FALSE(State.Recording);
  EXPECT_TRUE(Messages.empty());
}

TEST_F(CaptureTake, DcReductionSubtractsTheOffsetWithWrapFromEverySample) {
  State.DcOffsetLeft = 1234;
  State.DcOffsetRight = -4321;
  ASSERT_TRUE(StartTake(State, Context));
  const std::uint64_t firstFrame = Device.FramesProduced();
  std::mt19937 random(7);
  RunWithRandomPolls(90ull * kSampleRate, random);
  StopTake(State, Context);

  const std::uint64_t frames = State.Take.TakeLength * std::uint64_t{kFramesPerBuffer};
  EXPECT_EQ(State.Take.TakeLength, 900u);
  EXPECT_EQ(FirstMismatch(ReadTakeFile(), SourceFrames(firstFrame, frames, 1234, -4321)), -1);
}

TEST_F(CaptureTake, StopKeepsCompleteBuffersOfTheCurrentHalfAndDropsThePartialOne) {
  ASSERT_TRUE(StartTake(State, Context));
  const std::uint64_t firstFrame = Device.FramesProduced();
  RunAndPoll(kFramesPerHalf);  // half 0 written
  Device.Advance(5 * kFramesPerBuffer + kFramesPerBuffer / 2);
  StopTake(State, Context);

  EXPECT_EQ(State.Take.TakeLength, 25u);
  EXPECT_EQ(State.RecordedBuffers, 25u);
  EXPECT_EQ(FirstMismatch(ReadTakeFile(), SourceFrames(firstFrame, 25 * kFramesPerBuffer)), -1);
}

TEST_F(CaptureTake, TakeShorterThanOneBufferEndsWithLengthOne) {
  ASSERT_TRUE(StartTake(State, Context));
  Device.Advance(100);
  StopTake(State, Context);
  EXPECT_EQ(std::filesystem::file_size(State.Take.RawPath), 0u);
  EXPECT_EQ(State.Take.TakeLength, 1u) << "the reopening raises a length of 0 to 1";
}

TEST_F(CaptureTake, PollProcessesOnlyTheNewestCompleteBuffer) {
  ASSERT_TRUE(OpenCapture(State, Context));
  RunAndPoll(3 * kFramesPerBuffer + 100);
  EXPECT_EQ(State.CurrentBuffer, 2);
  EXPECT_EQ(State.Take.LastBufferIndex, 3u);
  EXPECT_EQ(State.WaveHeaders[2].User, 0u);
  EXPECT_EQ(State.WaveHeaders[0].User, 1u) << "passed over, processed when its half is written";
  EXPECT_EQ(State.WaveHeaders[1].User, 2u);
  RunAndPoll(0);
  EXPECT_EQ(State.CurrentBuffer, -1) << "nothing new";
}

TEST_F(CaptureTake, LatePollLosesAudioButCountsItAndKeepsOrder) {
  ASSERT_TRUE(StartTake(State, Context));
  const std::uint64_t firstFrame = Device.FramesProduced();
  RunAndPoll(kFramesPerHalf);  // half 0 written and queued behind half 1
  // Half 1, then half 0 fill; the next second has no buffer to go to.
  RunAndPoll(2 * kFramesPerHalf + kSampleRate);
  EXPECT_EQ(Device.DroppedFrames(), std::uint64_t{kSampleRate});
  EXPECT_EQ(State.LostFrames, std::uint64_t{kSampleRate});
  EXPECT_EQ(Observer.LastLostReport, std::uint64_t{kSampleRate});
  StopTake(State, Context);

  // Both halves were complete at once; the older (half 1) must come first.
  EXPECT_EQ(State.Take.TakeLength, 60u);
  EXPECT_EQ(FirstMismatch(ReadTakeFile(), SourceFrames(firstFrame, 60 * kFramesPerBuffer)), -1);
}

TEST_F(CaptureTake, LossWhileOnlyMonitoringIsNotChargedToTheNextTake) {
  ASSERT_TRUE(OpenCapture(State, Context));
  RunAndPoll(5 * kSampleRate);
  EXPECT_GT(Device.DroppedFrames(), 0u);
  ASSERT_TRUE(StartTake(State, Context));
  RunAndPoll(kFramesPerHalf);
  EXPECT_EQ(State.LostFrames, 0u);
}

using CaptureDevice = CaptureFixture;

TEST_F(CaptureDevice, FormatsWordBelow2048IsRefusedAndAnyValueFrom2048Accepted) {
  Device.SetDevices({{"Old Card", 2047, 2}});
  EnumerateDevices(State, Context);
  State.DeviceName = State.DeviceNames[0];
  EXPECT_FALSE(OpenCapture(State, Context));
  EXPECT_FALSE(State.DeviceOpen);
  EXPECT_EQ(Messages, std::vector<std::string>{"The audio recording device:\nOld Card\n"
                                               "can not be used!\nPlease install another device."});

  Device.SetDevices({{"Odd Card", 2048, 2}});  // only the mono 8-bit flag pattern's neighbour
  EnumerateDevices(State, Context);
  EXPECT_TRUE(OpenCapture(State, Context));
  EXPECT_TRUE(State.DeviceOpen);
}

TEST_F(CaptureDevice, OpenErrorShowsTheDeviceTextAndLeavesItClosed) {
  Device.SetOpenError(platform::kMmAllocated);
  EXPECT_FALSE(OpenCapture(State, Context));
  EXPECT_FALSE(State.DeviceOpen);
  EXPECT_EQ(Messages, std::vector<std::string>{platform::CommonErrorText(platform::kMmAllocated)});
  EXPECT_FALSE(StartTake(State, Context)) << "no take without a device";
  EXPECT_FALSE(State.Recording);
}

TEST_F(CaptureDevice, OpenNumbersTheRingOneToFortyAndRaisesAnEmptyTakeLength) {
  State.Take.TakeLength = 0;
  ASSERT_TRUE(OpenCapture(State, Context));
  for (int i = 0; i < kRingBuffers; ++i) EXPECT_EQ(State.WaveHeaders[i].User, i + 1u);
  EXPECT_EQ(State.BufferSequence, 40u);
  EXPECT_EQ(State.Take.TakeLength, 1u);
  EXPECT_EQ(Device.QueuedHeaders(), 40u);
  EXPECT_TRUE(OpenCapture(State, Context)) << "already open: nothing happens";
  EXPECT_EQ(Device.OpenCount(), 1);
}

TEST_F(CaptureDevice, EnumerationNeverWritesPastItsTables) {
  std::vector<platform::SimulatedWaveIn::Device> devices;
  for (int i = 0; i < 150; ++i) devices.push_back({"Device " + std::to_string(i)});
  Device.SetDevices(devices);
  EXPECT_EQ(EnumerateDevices(State, Context), 150u);
  EXPECT_STREQ(State.DeviceCaps[10].Name, "Device 10");
  EXPECT_EQ(State.DeviceNames[100], "Device 100");

  Device.SetDevices({{"Only One"}});
  EnumerateDevices(State, Context);
  EXPECT_EQ(State.DeviceNames[0], "Only One");
  EXPECT_EQ(State.DeviceNames[1], "") << "names of devices that went away are cleared";
}

TEST(DeviceName, IsCutToThirtyOneBytesAtACharacterBoundary) {
  platform::WaveInCaps caps{};
  // 10 three-byte characters (30 bytes) then one more: 33 bytes in all.
  const std::string name = "麦克风麦克风麦克风麦克";
  platform::CopyDeviceName(caps, name);
  EXPECT_EQ(std::string(caps.Name), name.substr(0, 30));
  platform::CopyDeviceName(caps, std::string(40, 'a'));
  EXPECT_EQ(std::string(caps.Name), std::string(31, 'a'));
}

TEST_F(CaptureTake, FullDiskEndsTheTakeKeepsWhatWasWrittenAndSaysSo) {
  ASSERT_TRUE(StartTake(State, Context));
  const int fullDevice = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fullDevice, 0);
  State.Take.RawStream.Adopt(fullDevice);
  State.ProgramDrive = "/data";
  RunAndPoll(kFramesPerHalf);
  EXPECT_FALSE(State.Recording);
  EXPECT_TRUE(State.DeviceOpen) << "the meters go on";
  EXPECT_EQ(Messages, std::vector<std::string>{"There is no space on drive /data"});
  EXPECT_EQ(Observer.TakeEndedCalls, 1);
  RunAndPoll(kFramesPerHalf);
  EXPECT_EQ(Messages.size(), 1u) << "told once";
}

TEST_F(CaptureTake, OtherWriteErrorsShowTheSystemText) {
  ASSERT_TRUE(StartTake(State, Context));
  RunAndPoll(kFramesPerHalf);  // one half reaches the file
  const int readOnly = ::open(State.Take.RawPath.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(readOnly, 0);
  State.Take.RawStream.Adopt(readOnly);
  RunAndPoll(kFramesPerHalf);
  EXPECT_FALSE(State.Recording);
  EXPECT_EQ(Messages, std::vector<std::string>{std::strerror(EBADF)});
  EXPECT_EQ(State.Take.TakeLength, 20u) << "what was written stays";
  StopTake(State, Context);
  EXPECT_EQ(State.Take.TakeLength, 20u);
}

TEST_F(CaptureTake, DeviceRefusingTheRingMidTakeEndsItWithEveryCompleteBufferKept) {
  using Call = platform::SimulatedWaveIn::Call;
  for (const Call call : {Call::AddBuffer, Call::Start}) {
    SCOPED_TRACE(static_cast<int>(call));
    Messages.clear();
    Observer.TakeEndedCalls = 0;
    ASSERT_TRUE(StartTake(State, Context));
    const std::uint64_t firstFrame = Device.FramesProduced();
    // Half 0 goes to the take; handing it back fails part-way (or at Start).
    Device.FailCall(call, platform::kMmNoMem, call == Call::AddBuffer ? 5 : 0);
    RunAndPoll(kFramesPerHalf + 3 * kFramesPerBuffer);

    EXPECT_FALSE(State.Recording);
    EXPECT_FALSE(State.DeviceOpen);
    EXPECT_FALSE(Device.IsOpen());
    EXPECT_EQ(State.Take.TakeLength, 23u) << "the three complete buffers of the other half too";
    EXPECT_EQ(State.RecordedBuffers, 23u);
    EXPECT_EQ(FirstMismatch(ReadTakeFile(), SourceFrames(firstFrame, 23 * kFramesPerBuffer)), -1);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_NE(Messages[0].find(Device.GetErrorText(platform::kMmNoMem)), std::string::npos);
    EXPECT_EQ(Observer.TakeEndedCalls, 1);

    ASSERT_TRUE(OpenCapture(State, Context)) << "the meters come back on the next open";
    EXPECT_EQ(Device.QueuedHeaders(), static_cast<std::size_t>(kRingBuffers));
  }
}

TEST_F(CaptureTake, ARingThatCannotBeQueuedWholeIsGivenUpAndNoTakeStarts) {
  using Call = platform::SimulatedWaveIn::Call;
  for (const Call call : {Call::PrepareHeader, Call::AddBuffer, Call::Start}) {
    SCOPED_TRACE(static_cast<int>(call));
    CloseCapture(State, Context);
    Messages.clear();
    Device.FailCall(call, platform::kMmNoMem, call == Call::Start ? 0 : 17);
    EXPECT_FALSE(StartTake(State, Context));
    EXPECT_FALSE(State.Recording);
    EXPECT_FALSE(State.DeviceOpen);
    EXPECT_FALSE(Device.IsOpen()) << "given up, so the next open can succeed";
    EXPECT_EQ(Messages, std::vector<std::string>{Device.GetErrorText(platform::kMmNoMem)});
  }
}

TEST_F(CaptureTake, RecordWithoutADeviceNameAsksForOne) {
  State.DeviceName.clear();
  EXPECT_FALSE(StartTake(State, Context));
  EXPECT_EQ(Messages, std::vector<std::string>{"No Audio Device Selected"});
}

}  // namespace
}  // namespace tavrin::capture::testing
