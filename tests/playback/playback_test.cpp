// The playback engine on the simulated wave-output device: what it plays,
// in which order, when it stops, and what it reports on the way.
#include "playback/playback.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/wave_out_simulated.h"
#include "playback_test_support.h"

namespace tavrin::playback {
namespace {

using document::Segment;
using testing::ExpectedBytes;
using testing::PatternDocument;

// Take rows, a work-file row and a take row again, 95 blocks: more than two
// refills of each half.
const std::vector<Segment> kMixedRows = {{1, 30, 11, true}, {31, 25, 6, false}, {56, 40, 1, true}};

class PanelsStub : public platform::SoundPanels {
public:
  bool OpenRecordingSettings(std::string&) override { return false; }
  bool OpenPlaybackSettings(std::string& error) override {
    if (!Available) error = "none here";
    return Open = Available;
  }
  bool IsOpen() override { return Open; }
  bool Available = true;
  bool Open = false;
};

class PlaybackTest : public ::testing::Test {
protected:
  explicit PlaybackTest(const std::string& name = "engine") : Doc(name) {}

  void SetUp() override {
    Doc.SetRows(kMixedRows);
    ASSERT_EQ(Doc.SetupError, 0);
    ASSERT_TRUE(OpenPlayback(State, Context));
  }

  // One timer period: the device plays 0.1 s, then the editor's tick polls.
  void Tick(std::uint64_t blocks = 1) {
    Device.Advance(blocks * capture::kFramesPerBuffer);
    PollPlayback(State, Context);
  }

  // Ticks until playback ends; false if it does not end within `limit` ticks.
  bool PlayToEnd(int limit = 400) {
    for (int i = 0; i < limit && State.Playing; ++i) Tick();
    return !State.Playing;
  }

  PatternDocument Doc;
  platform::SimulatedWaveOut Device;
  PanelsStub Panels;
  std::vector<std::string> Messages;
  PlaybackContext Context{Device,
                          Doc.State,
                          Doc.Document,
                          {[this](const std::string& text) { Messages.push_back(text); }},
                          &Panels};
  PlaybackState State;
};

TEST_F(PlaybackTest, PlayAllPlaysEveryRowBitExactAndInOrder) {
  StartPlayAll(State, Context);
  ASSERT_TRUE(State.Playing);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Device.Played(), ExpectedBytes(kMixedRows, 1, 95));
  EXPECT_EQ(State.PlayedBlock, 95u);
  EXPECT_EQ(State.NextBlock, 0u);
  EXPECT_EQ(Device.QueuedHeaders(), 0u);
  EXPECT_EQ(State.PlaybackGaps, 0u);
  EXPECT_TRUE(Messages.empty());
}

TEST_F(PlaybackTest, AWrappedLoopTakePlaysOldestAudioFirst) {
  document::BuildLevelZero(Doc.Document, 60, 22, true);
  StartPlayAll(State, Context);
  ASSERT_TRUE(PlayToEnd());
  const std::vector<Segment> rows = {{1, 38, 23, true}, {39, 22, 1, true}};
  EXPECT_EQ(Device.Played(), ExpectedBytes(rows, 1, 60));
}

TEST_F(PlaybackTest, SelectionPlaysExactlyItsBlocksAndEmptySelectionPlaysToTheEnd) {
  Doc.Document.SelStart = 25;
  Doc.Document.SelEnd = 61;
  StartPlaySelection(State, Context);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Device.Played(), ExpectedBytes(kMixedRows, 25, 61));

  Device.ClearPlayed();
  Doc.Document.SelStart = Doc.Document.SelEnd = 70;
  StartPlaySelection(State, Context);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Device.Played(), ExpectedBytes(kMixedRows, 70, 95));
  EXPECT_EQ(State.PlayedBlock, 95u);
}

TEST_F(PlaybackTest, AShortRangeStopsWhenItsLastBlockIsHeard) {
  Doc.Document.SelStart = 5;
  Doc.Document.SelEnd = 9;
  StartPlaySelection(State, Context);
  Tick(4);
  EXPECT_TRUE(State.Playing) << "the fifth block is still to be heard";
  EXPECT_EQ(State.PlayedBlock, 8u);
  Tick();
  EXPECT_FALSE(State.Playing);
  EXPECT_EQ(Device.Played(), ExpectedBytes(kMixedRows, 5, 9));
}

TEST_F(PlaybackTest, ADocumentOfOneBlockPlaysAndStops) {
  Doc.SetRows({{1, 1, 7, true}});
  StartPlayAll(State, Context);
  EXPECT_TRUE(State.Playing);
  ASSERT_TRUE(PlayToEnd(3));
  EXPECT_EQ(Device.Played(), ExpectedBytes(Doc.Rows, 1, 1));
}

TEST_F(PlaybackTest, NothingToPlayDoesNotStartPlaying) {
  Doc.SetRows({});
  StartPlayAll(State, Context);
  EXPECT_FALSE(State.Playing);
  Doc.SetRows(kMixedRows);
  Doc.Document.SelStart = Doc.Document.SelEnd = 96;  // past the end
  StartPlaySelection(State, Context);
  EXPECT_FALSE(State.Playing);
  EXPECT_TRUE(Device.Played().empty());
}

TEST_F(PlaybackTest, AShortSelectionRightAfterALongRangePlaysWhole) {
  StartPlayAll(State, Context);
  Tick(27);  // into the second half, with the first refilled
  Doc.Document.SelStart = 40;
  Doc.Document.SelEnd = 45;
  Device.ClearPlayed();
  StartPlaySelection(State, Context);
  Tick(5);
  EXPECT_TRUE(State.Playing) << "buffers of the long range must not end the short one";
  Tick();
  EXPECT_FALSE(State.Playing);
  EXPECT_EQ(Device.Played(), ExpectedBytes(kMixedRows, 40, 45));
}

TEST_F(PlaybackTest, StopSilencesAtOnceAndPlayAllStartsAgainFromTheTop) {
  StartPlayAll(State, Context);
  Tick(12);
  StopPlayback(State, Context);
  EXPECT_FALSE(State.Playing);
  EXPECT_EQ(Device.QueuedHeaders(), 0u);
  const std::size_t heard = Device.Played().size();
  Tick(10);
  EXPECT_EQ(Device.Played().size(), heard);

  Device.ClearPlayed();
  StartPlayAll(State, Context);
  EXPECT_EQ(State.PlayedBlock, 1u);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Device.Played(), ExpectedBytes(kMixedRows, 1, 95));
}

TEST_F(PlaybackTest, CursorAndMeterFollowTheBlockLastHeard) {
  StartPlayAll(State, Context);
  Tick(33);
  EXPECT_EQ(State.PlayedBlock, 33u);
  EXPECT_EQ(State.PlayedSlot, 32);
  // Block 33 is work-file buffer 8; its extremes, straight from the pattern.
  std::int16_t maxLeft = -32767, minLeft = 32767, maxRight = -32768, minRight = 32767;
  for (int frame = 0; frame < capture::kFramesPerBuffer; ++frame) {
    const std::int16_t left = testing::PatternSample(testing::kWorkTag, 8, frame, 0);
    const std::int16_t right = testing::PatternSample(testing::kWorkTag, 8, frame, 1);
    maxLeft = std::max(maxLeft, left);
    minLeft = std::min(minLeft, left);
    maxRight = std::max(maxRight, right);
    minRight = std::min(minRight, right);
  }
  EXPECT_EQ(Doc.State.MaxLeft, maxLeft);
  EXPECT_EQ(Doc.State.MinLeft, minLeft);
  EXPECT_EQ(Doc.State.MaxRight, maxRight);
  EXPECT_EQ(Doc.State.MinRight, minRight);
}

TEST_F(PlaybackTest, ALateTickIsCountedAsAGapAndLosesNothing) {
  StartPlayAll(State, Context);
  Tick(45);  // the timer stalled: both halves ran dry before a refill
  ASSERT_TRUE(PlayToEnd());
  EXPECT_GE(State.PlaybackGaps, 1u);
  EXPECT_EQ(Device.Played(), ExpectedBytes(kMixedRows, 1, 95));
}

TEST_F(PlaybackTest, AnUnreadableBlockStopsPlaybackWithTheSystemsText) {
  // From block 56 on the take cannot be read (a directory stands in for it).
  const int directory = ::open(Doc.Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  Doc.SetRows({{1, 25, 6, false}, {26, 30, 1, true}});
  Doc.State.Take.RawStream.Adopt(directory);
  StartPlayAll(State, Context);
  EXPECT_FALSE(State.Playing);
  EXPECT_EQ(Messages, std::vector<std::string>{std::strerror(EISDIR)});
  EXPECT_EQ(Device.QueuedHeaders(), 0u) << "nothing is queued past the unreadable block";
  Tick(30);
  EXPECT_TRUE(Device.Played().empty()) << "stopped at once, the readable blocks dropped too";
}

TEST_F(PlaybackTest, ALostDeviceStopsPlaybackWithItsTextAndTheNextPlayOpensItAgain) {
  StartPlayAll(State, Context);
  Tick(3);
  Device.Break(platform::kMmNoDriver);
  Tick();
  EXPECT_FALSE(State.Playing);
  EXPECT_EQ(Messages, std::vector<std::string>{platform::CommonErrorText(platform::kMmNoDriver)});
  // The broken device is let go, so the server can be reached afresh.
  EXPECT_FALSE(Device.IsOpen());
  Tick(3);
  EXPECT_EQ(Messages.size(), 1u);

  Device.ClearPlayed();
  StartPlayAll(State, Context);
  EXPECT_TRUE(State.Playing);
  EXPECT_TRUE(PlayToEnd());
  EXPECT_EQ(Device.Played(), ExpectedBytes(kMixedRows, 1, 95));
  EXPECT_EQ(Messages.size(), 1u);
}

TEST_F(PlaybackTest, CloseHandsEverythingBackAndClosesTheDevice) {
  StartPlayAll(State, Context);
  Tick(3);
  State.Playing = false;
  ClosePlayback(State, Context);
  EXPECT_FALSE(State.PlaybackOpen);
  EXPECT_FALSE(Device.IsOpen());
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(GetPlaybackVolume(State, Context), 0u);
}

TEST_F(PlaybackTest, VolumeWordGoesToTheDeviceAndPanelChangesAreFollowed) {
  SetPlaybackVolume(State, Context, platform::VolumeWord(65535, 0));
  EXPECT_EQ(GetPlaybackVolume(State, Context), 0x0000FFFFu);
  EXPECT_FALSE(FollowPanelVolume(State, Context)) << "no panel of ours is open";

  OpenPlaybackSettings(Context);
  Device.SetVolumeFromOutside(platform::VolumeWord(1000, 2000));
  EXPECT_TRUE(FollowPanelVolume(State, Context));
  EXPECT_EQ(State.PlaybackVolume, 2000u << 16 | 1000u);

  Panels.Open = false;
  Panels.Available = false;
  OpenPlaybackSettings(Context);
  EXPECT_EQ(Messages, std::vector<std::string>{"none here"});
}

TEST(PlaybackOpenFailure, ShowsTheTextOnceAndTheEditorGoesOnWithoutPlayback) {
  PatternDocument doc("open-failure");
  doc.SetRows(kMixedRows);
  platform::SimulatedWaveOut device;
  device.SetOpenError(platform::kMmAllocated);
  std::vector<std::string> messages;
  PlaybackContext context{device, doc.State, doc.Document, {[&](const std::string& text) {
                            messages.push_back(text);
                          }}};
  PlaybackState state;
  EXPECT_FALSE(OpenPlayback(state, context));
  EXPECT_FALSE(state.PlaybackOpen);
  EXPECT_EQ(messages, std::vector<std::string>{platform::CommonErrorText(platform::kMmAllocated)});

  StartPlayAll(state, context);
  PollPlayback(state, context);
  SetPlaybackVolume(state, context, 0xFFFFFFFF);
  EXPECT_FALSE(state.Playing);
  EXPECT_EQ(GetPlaybackVolume(state, context), 0u);
  EXPECT_EQ(messages.size(), 1u);
}

}  // namespace
}  // namespace tavrin::playback
