#pragma once
// Shared fixture for the capture engine tests: a recorder state, a simulated
// device, a context that collects messages, and a private work folder.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "case_scratch.h"
#include "file_bytes.h"

#include "capture/capture.h"
#include "capture/raw_take.h"
#include "platform/paired_wave_in.h"
#include "platform/wave_in_simulated.h"

namespace tavrin::capture::testing {

inline constexpr std::uint64_t kFramesPerHalf = 20ull * kFramesPerBuffer;

struct Frame {
  std::int16_t Left = 0;
  std::int16_t Right = 0;
  bool operator==(const Frame&) const = default;
};

class CountingObserver : public CaptureObserver {
public:
  void FramesLost(std::uint64_t totalFrames) override { LastLostReport = totalFrames; }
  void TakeEnded() override { ++TakeEndedCalls; }
  std::uint64_t LastLostReport = 0;
  int TakeEndedCalls = 0;
};

class CaptureFixture : public ::testing::Test {
protected:
  void SetUp() override {
    State.AllocateCaptureMemory();
    State.Take.RawPath = (Folder / "Tavrin.raw").string();
    State.ProgramDrive = "/";
    EnumerateDevices(State, Context);
    State.DeviceName = State.DeviceNames[0];
  }
  void TearDown() override { State.Take.RawStream.Close(); }

  // Runs the device (and a second source, while the pair records one) for
  // `frames` and polls once.
  void RunAndPoll(std::uint64_t frames) {
    Device.Advance(frames);
    SecondDevice.Advance(frames);
    PollCapture(State, Context);
  }

  // Runs the device for `frames`, polling at random intervals of 0 .. 1.9 s.
  void RunWithRandomPolls(std::uint64_t frames, std::mt19937& random) {
    std::uniform_int_distribution<std::uint64_t> interval(0, 19 * kSampleRate / 10);
    while (frames > 0) {
      const std::uint64_t step = std::min(frames, interval(random));
      RunAndPoll(step);
      frames -= step;
    }
  }

  std::vector<Frame> ReadTakeFile() const {
    return ToFrames(tavrin::testing::FileBytes(State.Take.RawPath));
  }

  // The take in chronological order, read through TakeRuns.
  std::vector<Frame> ReadTakeInOrder() const {
    std::ifstream in(State.Take.RawPath, std::ios::binary);
    std::vector<std::uint8_t> all;
    for (const TakeRun& run : TakeRuns(State)) {
      std::vector<char> bytes(static_cast<std::size_t>(run.Buffers) * kBufferBytes);
      in.seekg(run.ByteOffset());
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(bytes.size()));
      all.insert(all.end(), bytes.begin(), bytes.end());
    }
    return ToFrames(all);
  }

  static std::vector<Frame> ToFrames(const std::vector<std::uint8_t>& bytes) {
    std::vector<Frame> frames(bytes.size() / 4);
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const std::uint8_t* p = bytes.data() + 4 * i;
      frames[i].Left = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
      frames[i].Right = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[2] | (p[3] << 8)));
    }
    return frames;
  }

  // The index pattern of the simulated device, computed independently here.
  static std::vector<Frame> SourceFrames(std::uint64_t first, std::uint64_t count,
                                         std::int32_t dcLeft = 0, std::int32_t dcRight = 0) {
    std::vector<Frame> frames(count);
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint64_t index = first + i;
      frames[i].Left = static_cast<std::int16_t>(static_cast<std::uint16_t>(index - dcLeft));
      frames[i].Right =
          static_cast<std::int16_t>(static_cast<std::uint16_t>((index >> 16) - dcRight));
    }
    return frames;
  }

  // Index of the first frame of the first buffer where the first difference is.
  static std::ptrdiff_t FirstMismatch(const std::vector<Frame>& a, const std::vector<Frame>& b) {
    const auto pair = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (pair.first == a.end() && pair.second == b.end()) return -1;
    return pair.first - a.begin();
  }

  tavrin::testing::ScratchFolder Scratch{"capture-" + tavrin::testing::CaseName()};
  std::filesystem::path Folder = Scratch.Path();
  RecorderState State;
  platform::SimulatedWaveIn Device;
  // Every capture runs through the pair: without a second source it must be
  // the first device, byte for byte.
  platform::SimulatedWaveIn SecondDevice;
  platform::PairedWaveIn Paired{Device, SecondDevice};
  std::vector<std::string> Messages;
  CountingObserver Observer;
  CaptureContext Context{
      Paired, {[this](const std::string& text) { Messages.push_back(text); }}, &Observer};
};

}  // namespace tavrin::capture::testing
