// The capture engine on a real PulseAudio server: a private daemon plays a
// 1 kHz tone into a null sink whose monitor is the default source; the engine
// records about 3 s polled from a 100 ms timer, and the take must hold the
// tone whole, at its level, with no gap. On PipeWire the tone may start up to
// a buffer late (see ToneStart).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "capture/capture.h"
#include "capture/raw_take.h"
#include "platform/wave_in_pulse.h"
#include "scratch_folder.h"
#include "tone_check.h"

namespace tavrin::capture {
namespace {

TEST(CapturePulse, RecordsTheToneWholeAndInOrder) {
  RecorderState state;
  state.AllocateCaptureMemory();
  const tavrin::testing::ScratchFolder folder("pulse-capture");
  state.Take.RawPath = (folder.Path() / "Tavrin.raw").string();
  platform::PulseWaveIn device;
  std::vector<std::string> messages;
  CaptureContext context{
      device, {[&](const std::string& text) { messages.push_back(text); }}, nullptr};

  ASSERT_GT(EnumerateDevices(state, context), 0u);
  state.DeviceName = state.DeviceNames[0];
  ASSERT_TRUE(OpenCapture(state, context));
  ASSERT_TRUE(StartTake(state, context));
  // Three seconds of audio, however late a busy machine lets it arrive, polled
  // every 100 ms as the window's timer polls.
  const auto start = std::chrono::steady_clock::now();
  auto next = start;
  while (state.Take.LastBufferIndex < 30 &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
    next += std::chrono::milliseconds(100);
    std::this_thread::sleep_until(next);
    PollCapture(state, context);
  }
  const double stoppedAfter =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  StopTake(state, context);
  const double ranSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CloseCapture(state, context);
  EXPECT_TRUE(messages.empty()) << messages.front();

  EXPECT_EQ(std::filesystem::file_size(state.Take.RawPath) % kBufferBytes, 0u)
      << "whole buffers only";
  EXPECT_GE(state.Take.TakeLength, 30u);
  // Every buffer that ended before Stop is kept. The clock here starts when
  // Start returns and the server's stream some time after (a buffer's worth
  // under ThreadSanitizer), hence one buffer of slack; the wave-input test
  // holds Stop's tail to 10 ms of the audio captured.
  EXPECT_GE(state.Take.TakeLength + 1, static_cast<unsigned>(stoppedAfter * 10));
  // Never more audio than the time the take ran, give or take the buffer in flight.
  EXPECT_LE(state.Take.TakeLength, ranSeconds * 10 + 1);
  EXPECT_EQ(state.LostFrames, 0u);

  const testing::StereoSamples take = testing::ReadRawTake(state.Take.RawPath);
  ASSERT_EQ(take.Left.size(), state.Take.TakeLength * std::size_t{kFramesPerBuffer});
  for (const auto* channel : {&take.Left, &take.Right}) {
    const testing::ToneMeasure tone = testing::MeasureTone(*channel, kFramesPerBuffer);
    EXPECT_LT(tone.Start, std::size_t{kFramesPerBuffer}) << "the tone starts in the first buffer";
    EXPECT_LT(std::abs(tone.LevelDb), 0.5) << "level off by " << tone.LevelDb << " dB";
    EXPECT_LT(tone.WorstResidual, testing::kToneResidualLimit) << "the tone is broken somewhere";
  }
}

}  // namespace
}  // namespace tavrin::capture
