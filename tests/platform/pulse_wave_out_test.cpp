// PulseWaveOut on the private daemon of tests/e2e/with-pulse.sh (no tone):
// what it refuses, how Reset and Close treat queued headers, done marks in
// order and no sooner than the audio can have been heard, and the server
// going away (on a daemon of its own, as it ends the daemon).
#include "platform/wave_out_pulse.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "../e2e/wait_until.h"
#include "platform/pulse_connection.h"
#include "platform/wave_in_pulse.h"

namespace tavrin::platform {
namespace {

using Clock = std::chrono::steady_clock;
using tavrin::testing::WaitUntil;

constexpr std::uint32_t kBlockBytes = 17640;  // 0.1 s

struct Blocks {
  explicit Blocks(std::size_t count) : Memory(count * kBlockBytes, 1), Headers(count) {
    for (std::size_t i = 0; i < count; ++i) {
      Headers[i].Data = Memory.data() + i * kBlockBytes;
      Headers[i].BufferLength = kBlockBytes;
    }
  }
  bool Done(std::size_t i) const { return (Headers[i].Flags.load() & kWhdrDone) != 0; }
  std::vector<char> Memory;
  std::vector<WaveHeader> Headers;
};

// Prepares and queues every block, in order.
void PlayAll(PulseWaveOut& device, Blocks& blocks) {
  for (WaveHeader& header : blocks.Headers) {
    ASSERT_EQ(device.PrepareHeader(header), kMmNoError);
    ASSERT_EQ(device.Write(header), kMmNoError);
  }
}

TEST(PulseWaveOut, RefusesWhatItCannotDo) {
  PulseWaveOut device;
  WaveFormat mono;
  mono.Channels = 1;
  EXPECT_EQ(device.Open(0, mono), kWaveBadFormat);
  EXPECT_EQ(device.Open(1, WaveFormat{}), kMmBadDeviceId);
  Blocks blocks(1);
  EXPECT_EQ(device.Write(blocks.Headers[0]), kMmInvalidHandle);
  ASSERT_EQ(device.Open(0, WaveFormat{}), kMmNoError);
  EXPECT_EQ(device.Open(0, WaveFormat{}), kMmAllocated);
  EXPECT_EQ(device.Write(blocks.Headers[0]), kWaveUnprepared);
  WaveHeader empty;
  EXPECT_EQ(device.PrepareHeader(empty), kMmInvalidParam);
  EXPECT_EQ(device.DeviceError(), kMmNoError);
  EXPECT_EQ(device.Close(), kMmNoError);
}

TEST(PulseWaveOut, DoneMarksComeInOrderAndNotBeforeTheAudioCanHaveBeenHeard) {
  PulseWaveOut device;
  ASSERT_EQ(device.Open(0, WaveFormat{}), kMmNoError);
  Blocks blocks(5);
  const auto start = Clock::now();
  ASSERT_NO_FATAL_FAILURE(PlayAll(device, blocks));
  EXPECT_EQ(device.Close(), kWaveStillPlaying) << "headers are still queued";
  std::vector<double> doneMs(5, -1);
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (std::size_t i = 0; i < 5; ++i) {
          if (doneMs[i] < 0 && blocks.Done(i)) {
            doneMs[i] = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
          }
        }
        return blocks.Done(4);
      },
      std::chrono::seconds(5)));
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_GE(doneMs[i], 100.0 * double(i + 1)) << "block " << i << " marked before it played";
    if (i > 0) {
      EXPECT_GE(doneMs[i], doneMs[i - 1]);
    }
  }
  EXPECT_EQ(device.Close(), kMmNoError);
}

TEST(PulseWaveOut, ResetHandsEveryQueuedHeaderBackAtOnce) {
  PulseWaveOut device;
  ASSERT_EQ(device.Open(0, WaveFormat{}), kMmNoError);
  Blocks blocks(30);
  ASSERT_NO_FATAL_FAILURE(PlayAll(device, blocks));
  EXPECT_FALSE(blocks.Done(29));
  ASSERT_EQ(device.Reset(), kMmNoError);
  for (std::size_t i = 0; i < 30; ++i) {
    EXPECT_TRUE(blocks.Done(i));
    EXPECT_EQ(blocks.Headers[i].Flags.load() & kWhdrInQueue, 0u);
    EXPECT_EQ(device.UnprepareHeader(blocks.Headers[i]), kMmNoError);
  }
  EXPECT_EQ(device.Close(), kMmNoError);
}

TEST(PulseWaveOut, SharesOneConnectionWithWaveInput) {
  auto connection = std::make_shared<PulseConnection>("Tavrin Recorder");
  PulseWaveOut output(connection);
  PulseWaveIn input(connection);
  ASSERT_EQ(output.Open(0, WaveFormat{}), kMmNoError);
  ASSERT_EQ(input.Open(0, WaveFormat{}), kMmNoError);
  Blocks played(2);
  Blocks recorded(1);
  ASSERT_EQ(input.PrepareHeader(recorded.Headers[0]), kMmNoError);
  ASSERT_EQ(input.AddBuffer(recorded.Headers[0]), kMmNoError);
  ASSERT_EQ(input.Start(), kMmNoError);
  ASSERT_NO_FATAL_FAILURE(PlayAll(output, played));
  EXPECT_TRUE(
      WaitUntil([&] { return played.Done(1) && recorded.Done(0); }, std::chrono::seconds(5)));
  EXPECT_EQ(output.Close(), kMmNoError);
  EXPECT_EQ(input.Reset(), kMmNoError);
  EXPECT_EQ(input.Close(), kMmNoError);
}

// It ends the daemon: ctest runs it on a daemon of its own.
TEST(PulseWaveOut, TheServerGoingAwayIsReported) {
  PulseWaveOut device;
  ASSERT_EQ(device.Open(0, WaveFormat{}), kMmNoError);
  Blocks blocks(2);
  ASSERT_EQ(device.PrepareHeader(blocks.Headers[0]), kMmNoError);
  ASSERT_EQ(device.Write(blocks.Headers[0]), kMmNoError);
  ASSERT_EQ(std::system("pactl exit"), 0);
  ASSERT_TRUE(
      WaitUntil([&] { return device.DeviceError() != kMmNoError; }, std::chrono::seconds(5)));
  EXPECT_FALSE(device.GetErrorText(device.DeviceError()).empty());
  ASSERT_EQ(device.PrepareHeader(blocks.Headers[1]), kMmNoError);
  EXPECT_NE(device.Write(blocks.Headers[1]), kMmNoError);
  std::uint32_t volume = 0;
  EXPECT_NE(device.GetVolume(volume), kMmNoError);
  EXPECT_EQ(device.Reset(), kMmNoError);
  EXPECT_TRUE(blocks.Done(0)) << "Reset hands back what a dead server still held";
  EXPECT_EQ(device.Close(), kMmNoError);
}

}  // namespace
}  // namespace tavrin::platform
