// The capture engine on a real PulseAudio server: a private daemon plays a
// 1 kHz tone into a null sink whose monitor is the default source; the engine
// records about 3 s polled from a 100 ms timer, and the take must hold the
// tone whole, at its level, with no gap.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <thread>
#include <vector>

#include "capture/capture.h"
#include "capture/raw_take.h"
#include "platform/wave_in_pulse.h"

namespace tavrin::capture {
namespace {

struct Channels {
  std::vector<double> Left;
  std::vector<double> Right;
};

Channels ReadTake(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
  Channels channels;
  for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
    channels.Left.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    channels.Right.push_back(static_cast<std::int16_t>(bytes[i + 2] | (bytes[i + 3] << 8)));
  }
  return channels;
}

double Rms(const std::vector<double>& samples) {
  double sum = 0;
  for (double s : samples) sum += s * s;
  return std::sqrt(sum / static_cast<double>(samples.size()));
}

// A pure tone satisfies s[n+1] + s[n-1] = 2 cos(w) s[n]; a gap or a buffer out
// of place breaks it by far more than 16-bit rounding does.
double WorstToneResidual(const std::vector<double>& samples) {
  const double twoCos = 2 * std::cos(2 * std::numbers::pi * 1000.0 / 44100.0);
  double worst = 0;
  for (std::size_t n = 1; n + 1 < samples.size(); ++n) {
    worst = std::max(worst, std::abs(samples[n + 1] + samples[n - 1] - twoCos * samples[n]));
  }
  return worst;
}

TEST(CapturePulse, RecordsTheToneWholeAndInOrder) {
  RecorderState state;
  state.AllocateCaptureMemory();
  const std::string folder = ::testing::TempDir() + "tavrin-pulse-capture";
  std::filesystem::create_directories(folder);
  state.RawPath = folder + "/Tavrin.raw";
  platform::PulseWaveIn device;
  std::vector<std::string> messages;
  CaptureContext context{device, [&](const std::string& text) { messages.push_back(text); }, [] {},
                         nullptr};

  ASSERT_GT(EnumerateDevices(state, context), 0u);
  state.DeviceName = state.DeviceNames[0];
  ASSERT_TRUE(OpenCapture(state, context));
  ASSERT_TRUE(StartTake(state, context));
  const auto start = std::chrono::steady_clock::now();
  auto next = start;
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(3050)) {
    next += std::chrono::milliseconds(100);
    std::this_thread::sleep_until(next);
    PollCapture(state, context);
  }
  StopTake(state, context);
  CloseCapture(state, context);
  EXPECT_TRUE(messages.empty()) << messages.front();

  EXPECT_EQ(std::filesystem::file_size(state.RawPath) % kBufferBytes, 0u) << "whole buffers only";
  EXPECT_GE(state.TakeLength, 27u);
  EXPECT_LE(state.TakeLength, 31u);
  EXPECT_EQ(state.LostFrames, 0u);

  const Channels take = ReadTake(state.RawPath);
  ASSERT_EQ(take.Left.size(), state.TakeLength * std::size_t{kFramesPerBuffer});
  const double expectedRms = 0.3536 * 32768;
  for (const auto* channel : {&take.Left, &take.Right}) {
    const double levelDb = 20 * std::log10(Rms(*channel) / expectedRms);
    EXPECT_LT(std::abs(levelDb), 0.5) << "level off by " << levelDb << " dB";
    EXPECT_LT(WorstToneResidual(*channel), 40.0) << "the tone is broken somewhere";
  }
}

}  // namespace
}  // namespace tavrin::capture
