// The playback engine on a real PulseAudio server: a private daemon with one
// null sink and no tone; the test records the sink's monitor while the engine
// plays, and reads the stream's volume with pactl. PipeWire resamples, so
// there a tone is played and checked instead of bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <regex>

#include "platform/wave_out_pulse.h"
#include "play_session.h"
#include "playback/playback.h"
#include "playback_test_support.h"

#include "../e2e/command_output.h"
#include "../e2e/tone_check.h"

namespace tavrin::playback {
namespace {

using tavrin::testing::CommandOutput;

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::MonitorRecorder;
using testing::PollWhilePlaying;

// 50 blocks over both sources: one refill of the first half.
const std::vector<document::Segment> kRows = {
    {1, 20, 11, true}, {21, 15, 3, false}, {36, 15, 1, true}};

// The raw volumes pactl shows for sink input `index`: {left, right}, or {-1, -1}.
std::pair<long, long> PactlVolume(std::int64_t index) {
  const std::string all = CommandOutput("pactl list sink-inputs");
  const std::size_t at = all.find("Sink Input #" + std::to_string(index) + "\n");
  if (at == std::string::npos) return {-1, -1};
  const std::string block = all.substr(at, all.find("Sink Input #", at + 1) - at);
  std::smatch match;
  if (!std::regex_search(block, match, std::regex(R"(front-left: (\d+) .*front-right: (\d+) )"))) {
    return {-1, -1};
  }
  return {std::stol(match[1]), std::stol(match[2])};
}

class PlaybackPulse : public ::testing::Test {
protected:
  void SetUp() override {
    Doc.SetRows(kRows);
    ASSERT_EQ(Doc.SetupError, 0);
    ASSERT_TRUE(OpenPlayback(State, Context)) << Messages.front();
    SetPlaybackVolume(State, Context, platform::VolumeWord(65535, 65535));
    ASSERT_TRUE(Messages.empty()) << Messages.front();
  }
  void TearDown() override {
    StopPlayback(State, Context);
    ClosePlayback(State, Context);
  }

  // Plays the whole document while `monitor` records, polled as the editor
  // polls, until its end has been heard; the cursor's marks go to `marks`.
  void PlayAllToTheEnd(MonitorRecorder& monitor, std::vector<testing::CursorMark>& marks) {
    ASSERT_TRUE(monitor.Error().empty()) << monitor.Error();
    StartPlayAll(State, Context);
    marks = PollWhilePlaying(State, Context, milliseconds(15000));
    EXPECT_FALSE(State.Playing) << "the range must end by itself";
    ASSERT_TRUE(monitor.HeardUntil(MonitorRecorder::Clock::now() + milliseconds(200), seconds(10)));
    monitor.Stop();
    ASSERT_TRUE(monitor.Error().empty()) << monitor.Error();
    EXPECT_TRUE(Messages.empty()) << Messages.front();
    EXPECT_EQ(State.PlaybackGaps, 0u);
    EXPECT_GE(Device.Underruns(), 1u) << "running dry at the end is reported";
  }

  // The cursor reached the last block and never showed one the monitor had
  // not yet received whole; block 1 starts at `blockOneOffset` in the recording.
  static void ExpectCursorFollowedTheSound(const MonitorRecorder& monitor,
                                           std::size_t blockOneOffset,
                                           const std::vector<testing::CursorMark>& marks,
                                           std::uint32_t lastBlock) {
    ASSERT_FALSE(marks.empty());
    EXPECT_EQ(marks.back().Block, lastBlock);
    EXPECT_LE(LargestCursorLeadMs(monitor, blockOneOffset, marks), 100.0);
  }

  testing::PatternDocument Doc{"pulse"};
  platform::PulseWaveOut Device;
  std::vector<std::string> Messages;
  PlaybackContext Context{Device, Doc.State, Doc.Document, {[this](const std::string& text) {
                            Messages.push_back(text);
                          }}};
  PlaybackState State;
};

TEST_F(PlaybackPulse, TheMonitorHearsTheDocumentBitExactAndTheCursorNeverLeadsIt) {
  if (tavrin::testing::OnPipeWire()) {
    GTEST_SKIP() << "PipeWire resamples: no bytes to compare (the tone case checks playback)";
  }
  MonitorRecorder monitor;
  std::vector<testing::CursorMark> marks;
  ASSERT_NO_FATAL_FAILURE(PlayAllToTheEnd(monitor, marks));

  const std::vector<char> expected = testing::ExpectedBytes(kRows, 1, 50);
  const std::size_t offset =
      monitor.Find(std::vector<char>(expected.begin(), expected.begin() + capture::kBufferBytes));
  ASSERT_NE(offset, std::string::npos) << "the first block never reached the monitor whole";
  ASSERT_GE(monitor.Bytes().size(), offset + expected.size());
  EXPECT_EQ(std::memcmp(monitor.Bytes().data() + offset, expected.data(), expected.size()), 0)
      << "the monitor differs from the document";
  EXPECT_EQ(monitor.FirstSound(offset + expected.size()), std::string::npos)
      << "nothing may follow the document";

  ExpectCursorFollowedTheSound(monitor, offset, marks, 50);
}

TEST_F(PlaybackPulse, TheMonitorHearsAToneWholeAtItsLengthAndLevel) {
  if (!tavrin::testing::OnPipeWire()) GTEST_SKIP() << "the bit-exact case checks more";
  // The take's first 3 s become the tone, and the document plays them.
  constexpr std::uint32_t kBlocks = 30;
  const auto tone = tavrin::testing::ToneBytes(std::size_t{kBlocks} * capture::kFramesPerBuffer);
  ASSERT_EQ(Doc.State.Take.RawStream.WriteAt(0, tone.data(), tone.size()), 0);
  Doc.SetRows({{1, kBlocks, 1, true}});
  MonitorRecorder monitor;
  std::vector<testing::CursorMark> marks;
  ASSERT_NO_FATAL_FAILURE(PlayAllToTheEnd(monitor, marks));

  const std::size_t first = monitor.FirstSound();
  ASSERT_NE(first, std::string::npos) << "nothing was heard at all";
  const std::size_t end = monitor.EndOfSound();
  EXPECT_NEAR(static_cast<double>(end - first) / capture::kBufferBytes, kBlocks, 1.0)
      << "the sound lasts as long as the document, within a buffer";
  const tavrin::testing::StereoSamples heard =
      tavrin::testing::SamplesOf(monitor.Bytes().data() + first, end - first);
  for (const auto* channel : {&heard.Left, &heard.Right}) {
    const tavrin::testing::ToneMeasure measure = tavrin::testing::MeasureTone(
        *channel, capture::kFramesPerBuffer, capture::kFramesPerBuffer);
    EXPECT_LT(measure.Start + measure.End, std::size_t{capture::kFramesPerBuffer});
    EXPECT_LT(std::abs(measure.LevelDb), 0.5) << "level off by " << measure.LevelDb << " dB";
    EXPECT_LT(measure.WorstResidual, tavrin::testing::kToneResidualLimit)
        << "the tone is broken somewhere";
  }

  ExpectCursorFollowedTheSound(monitor, first, marks, kBlocks);
}

TEST_F(PlaybackPulse, AfterStopTheMonitorFallsSilentWithin100ms) {
  MonitorRecorder monitor;
  ASSERT_TRUE(monitor.Error().empty()) << monitor.Error();
  StartPlayAll(State, Context);
  PollWhilePlaying(State, Context, milliseconds(1000));
  const auto stopped = MonitorRecorder::Clock::now();
  StopPlayback(State, Context);
  ASSERT_TRUE(monitor.HeardUntil(stopped + milliseconds(500), seconds(10)));
  monitor.Stop();
  const std::size_t end = monitor.EndOfSound();
  ASSERT_GT(end, 0u) << "nothing was heard at all";
  // Counted in audio rather than in arrival times, so a late recording thread
  // cannot make the tail look longer than it sounded.
  const std::size_t stopOffset = monitor.OffsetAt(stopped);
  const double tailMs = end > stopOffset ? (end - stopOffset) / 176.4 : 0.0;
  EXPECT_LE(tailMs, 100.0);
}

TEST_F(PlaybackPulse, TheVolumeWordIsTheStreamsVolumeBothWays) {
  const std::int64_t index = Device.StreamIndex();
  ASSERT_GE(index, 0);
  SetPlaybackVolume(State, Context, platform::VolumeWord(65535, 32768));
  ASSERT_TRUE(Messages.empty()) << Messages.front();
  // 65535 is 100 % (65536 on the server's scale), linearly.
  EXPECT_EQ(PactlVolume(index), std::make_pair(65536L, std::lround(32768 * 65536.0 / 65535.0)));

  ASSERT_EQ(std::system(
                ("pactl set-sink-input-volume " + std::to_string(index) + " 26214 13107").c_str()),
            0);
  const auto left = static_cast<std::uint32_t>(std::lround(26214 * 65535.0 / 65536.0));
  const auto right = static_cast<std::uint32_t>(std::lround(13107 * 65535.0 / 65536.0));
  EXPECT_EQ(GetPlaybackVolume(State, Context), left | right << 16);
}

}  // namespace
}  // namespace tavrin::playback
