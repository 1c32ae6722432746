// "test" loaded as the take: peaks from a fitting peak file or measured from
// the audio, failures that change nothing, and the recorder's take given back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "capture/peak_file.h"
#include "case_scratch.h"
#include "recovery/test_take.h"

namespace tavrin::recovery {
namespace {

namespace fs = std::filesystem;
using capture::kBufferBytes;

class TestTake : public ::testing::Test {
protected:
  void SetUp() override {
    State.AllocateCaptureMemory();
    State.WorkFolder = Folder.string();
    State.Take.RawPath = (Folder / "Tavrin.raw").string();
    State.PeaksPath = (Folder / "Tavrin.spv").string();
    // The recorder's own take: 3 buffers of a wrapped loop take, with its peaks.
    RecorderTake.assign(3 * kBufferBytes, 0x11);
    State.Take.RawStream.Create(State.Take.RawPath);
    State.Take.RawStream.Write(RecorderTake.data(), RecorderTake.size());
    State.Take.TakeLength = 3;
    State.Take.FinishedRecordedBuffers = State.RecordedBuffers = 1;
    State.Take.FinishedLoopWrapped = State.LoopWrapped = true;
    for (std::uint32_t k = 1; k <= 3; ++k)
      State.Take.Peaks[k].MaxLeft = static_cast<std::int16_t>(100 + k);
  }

  // "test": `buffers` buffers where frame f of buffer b is (b*10 + f%7, -(b*10) - f%5),
  // plus `extraBytes` of a partial buffer.
  void WriteTest(std::uint32_t buffers, std::size_t extraBytes) {
    std::vector<std::int16_t> samples(buffers * kBufferBytes / 2 + extraBytes / 2, 1);
    for (std::uint32_t b = 0; b < buffers; ++b) {
      for (std::uint32_t f = 0; f < 4410; ++f) {
        samples[(b * 4410 + f) * 2] = static_cast<std::int16_t>((b + 1) * 10 + f % 7);
        samples[(b * 4410 + f) * 2 + 1] = static_cast<std::int16_t>(-((b + 1) * 10) - f % 5);
      }
    }
    std::ofstream(Folder / "test", std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size() * 2));
  }
  bool Load(std::string& error) { return Loader.LoadTestTake(State, Progress, Hooks, error); }
  void ExpectRecorderTake() {
    EXPECT_EQ(State.Take.RawPath, (Folder / "Tavrin.raw").string());
    EXPECT_EQ(State.Take.TakeLength, 3u);
    EXPECT_EQ(State.RecordedBuffers, 1u);
    EXPECT_TRUE(State.LoopWrapped && State.Take.FinishedLoopWrapped);
    EXPECT_EQ(State.Take.Peaks[2].MaxLeft, 102);
    std::vector<std::uint8_t> read(RecorderTake.size());
    EXPECT_EQ(State.Take.RawStream.ReadAt(0, read.data(), read.size()), 0);
    EXPECT_EQ(read, RecorderTake);
  }

  tavrin::testing::ScratchFolder Scratch{"testtake-" + tavrin::testing::CaseName()};
  fs::path Folder = Scratch.Path();
  capture::RecorderState State;
  std::vector<std::uint8_t> RecorderTake;
  TestTakeLoader Loader;
  float Progress = 0;
  std::vector<float> ProgressSeen;
  int RebuildsStarted = 0;
  TestTakeLoader::Hooks Hooks{[this] { ++RebuildsStarted; },
                              {{}, {}, [this] { ProgressSeen.push_back(Progress); }}};
};

TEST_F(TestTake, WithoutAPeakFileTheAudioIsMeasuredAndThePeaksWritten) {
  WriteTest(10, 100);
  std::string error;
  ASSERT_TRUE(Load(error)) << error;
  EXPECT_EQ(RebuildsStarted, 1);
  EXPECT_EQ(State.Take.TakeLength, 10u) << "a partial buffer at the end does not count";
  EXPECT_EQ(State.Take.LastBufferIndex, 10u);
  EXPECT_EQ(State.Take.RawPath, (Folder / "test").string());
  ASSERT_EQ(ProgressSeen.size(), 10u);
  EXPECT_FLOAT_EQ(ProgressSeen[4], 50.0f);
  EXPECT_FLOAT_EQ(ProgressSeen.back(), 100.0f);
  EXPECT_TRUE(std::is_sorted(ProgressSeen.begin(), ProgressSeen.end()));
  for (std::int16_t b = 1; b <= 10; ++b) {
    EXPECT_EQ(State.Take.Peaks[b].MaxLeft, b * 10 + 6);
    EXPECT_EQ(State.Take.Peaks[b].MinLeft, b * 10);
    EXPECT_EQ(State.Take.Peaks[b].MaxRight, -b * 10);
    EXPECT_EQ(State.Take.Peaks[b].MinRight, -b * 10 - 4);
  }
  EXPECT_EQ(fs::file_size(State.PeaksPath), 10u * 8);
  // The peak file now fits: a second load takes it as it stands, without measuring.
  Loader.RestoreRecorderTake(State);
  capture::RecorderState fresh;
  fresh.AllocateCaptureMemory();
  EXPECT_TRUE(capture::ReadPeakFile(fresh.Take.Peaks, State.PeaksPath, 10));
  EXPECT_EQ(fresh.Take.Peaks[7].MinRight, -74);
}

TEST_F(TestTake, AFittingPeakFileIsTakenAsItStands) {
  WriteTest(10, 100);
  capture::RecorderState other;
  other.AllocateCaptureMemory();
  for (std::uint32_t k = 1; k <= 10; ++k)
    other.Take.Peaks[k].MaxLeft = static_cast<std::int16_t>(-k);
  ASSERT_EQ(capture::WritePeakFile(other.Take.Peaks, State.PeaksPath, 10), 0);
  std::string error;
  ASSERT_TRUE(Load(error)) << error;
  EXPECT_EQ(RebuildsStarted, 0);
  EXPECT_TRUE(ProgressSeen.empty());
  EXPECT_EQ(State.Take.Peaks[9].MaxLeft, -9) << "the file's values, not measured ones";
  // Closing the editor: the recorder's take, as it was, on the same stream.
  Loader.RestoreRecorderTake(State);
  ExpectRecorderTake();
  EXPECT_EQ(fs::file_size(Folder / "Tavrin.raw"), RecorderTake.size());
}

TEST_F(TestTake, AFileThatFailsLeavesTheRecorderTakeAsItWas) {
  // "test" that is not a file.
  fs::create_directory(Folder / "test");
  std::string error;
  EXPECT_FALSE(Load(error));
  EXPECT_EQ(error, std::strerror(EISDIR));
  ExpectRecorderTake();
  fs::remove(Folder / "test");

  // A peak file that cannot be written, after measuring into the tables.
  WriteTest(4, 0);
  fs::create_directory(State.PeaksPath);
  EXPECT_FALSE(Load(error));
  EXPECT_EQ(error, std::strerror(EISDIR));
  ExpectRecorderTake();
  Loader.RestoreRecorderTake(State);  // nothing loaded: nothing to give back
  ExpectRecorderTake();
}

}  // namespace
}  // namespace tavrin::recovery
