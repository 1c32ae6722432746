// The sound trigger over patterns of loud and quiet buffers: which buffers each
// event keeps, in order, bit for bit, with the pre-roll and the hangover.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "schedule/sound_trigger.h"

namespace tavrin::schedule {
namespace {

constexpr std::size_t kBufferBytes = 4 * 4410;

// Buffer `id` of a pattern: its first two samples name it, every other sample
// differs from buffer to buffer; a loud one peaks at -4 dBFS, a quiet one
// stays under -40 dBFS.
std::vector<std::uint8_t> MakeBuffer(int id, bool loud) {
  std::vector<std::uint8_t> bytes(kBufferBytes);
  for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
    int sample = static_cast<int>((i * 7 + static_cast<std::size_t>(id) * 13) % 200) - 100;
    if (i == 0) sample = id % 256;
    if (i == 1) sample = id / 256;
    if (loud && i % 50 == 7) sample = (i % 100 == 7) ? 20000 : -20000;
    bytes[2 * i] = static_cast<std::uint8_t>(sample & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>((sample >> 8) & 0xFF);
  }
  return bytes;
}

class RecordingSink : public TriggerSink {
public:
  void EventStarted() override { Events.emplace_back(); }
  void Keep(std::span<const std::uint8_t> buffer) override {
    Kept.emplace_back(buffer.begin(), buffer.end());
    Events.back().push_back(buffer[0] | (buffer[2] << 8));
  }
  void EventEnded() override { ++Ended; }
  std::vector<std::vector<int>> Events;  // the ids each event kept, in order
  std::vector<std::vector<std::uint8_t>> Kept;
  int Ended = 0;
};

struct Case {
  const char* Name;
  std::string Pattern;  // L loud, q quiet, R the stream restarts before the next buffer
  double PreRoll;       // seconds at 10 buffers a second
  double Hangover;
  SilenceAction Silence;
  std::vector<std::vector<int>> Events;
  int Ended;  // events ended before Finish
};

class SoundTriggerPatterns : public ::testing::TestWithParam<Case> {};

TEST_P(SoundTriggerPatterns, KeepsThePreRollTheSoundAndTheHangoverOnce) {
  const Case& c = GetParam();
  TriggerSettings settings;
  settings.PreRollSeconds = c.PreRoll;
  settings.HangoverSeconds = c.Hangover;
  settings.Silence = c.Silence;
  SoundTrigger trigger(settings, 10.0);
  RecordingSink sink;
  std::vector<std::vector<std::uint8_t>> source;
  for (char step : c.Pattern) {
    if (step == 'R') {
      trigger.Restart(sink);
      continue;
    }
    source.push_back(MakeBuffer(static_cast<int>(source.size()), step == 'L'));
    trigger.Feed(source.back(), sink);
  }
  EXPECT_EQ(sink.Ended, c.Ended);
  trigger.Finish(sink);
  EXPECT_EQ(sink.Events, c.Events);
  EXPECT_EQ(sink.Ended, static_cast<int>(sink.Events.size()));
  // Every kept buffer is the captured one, whole.
  std::size_t k = 0;
  for (const std::vector<int>& event : sink.Events) {
    for (int id : event) EXPECT_EQ(sink.Kept[k++], source[static_cast<std::size_t>(id)]) << id;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, SoundTriggerPatterns,
    ::testing::Values(
        Case{"PreRollAndHangover",
             "qqqqqLLqqqqq",
             0.3,
             0.2,
             SilenceAction::Pause,
             {{2, 3, 4, 5, 6, 7, 8}},
             1},
        Case{"NoPreRoll", "qqLqq", 0, 0.5, SilenceAction::Pause, {{2, 3, 4}}, 0},
        Case{"PreRollLongerThanTheWait", "qLqq", 1.0, 0.2, SilenceAction::Pause, {{0, 1, 2, 3}}, 1},
        Case{"ShortSilencesDoNotPause",
             "qLqLqqLqqq",
             0.1,
             0.3,
             SilenceAction::Pause,
             {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
             1},
        // One take: the second event's pre-roll holds only what the first did not keep.
        Case{"PauseNeverKeepsABufferTwice",
             "qqLqqqLqq",
             0.3,
             0.2,
             SilenceAction::Pause,
             {{0, 1, 2, 3, 4}, {5, 6, 7, 8}},
             2},
        // Takes of their own: each has its whole pre-roll.
        Case{"SplitGivesEachEventItsPreRoll",
             "qqLqqqLqq",
             0.3,
             0.2,
             SilenceAction::Split,
             {{0, 1, 2, 3, 4}, {3, 4, 5, 6, 7, 8}},
             2},
        Case{"SoundAtTheEndEndsWithTheSession",
             "qqqLL",
             0.2,
             3,
             SilenceAction::Pause,
             {{1, 2, 3, 4}},
             0},
        // A broken stream: the event ends, and nothing from before the break is a pre-roll.
        Case{"RestartEndsTheEventAndEmptiesTheRing",
             "qLqRqqLq",
             0.3,
             3,
             SilenceAction::Split,
             {{0, 1, 2}, {3, 4, 5, 6}},
             1}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.Name); });

TEST(SoundTrigger, ThresholdAndRanges) {
  EXPECT_EQ(ThresholdPeak(0), 32768);
  EXPECT_EQ(ThresholdPeak(-40), 328);  // 327.68: a peak of 327 is below -40 dBFS
  std::vector<std::uint8_t> buffer(8, 0);
  buffer[4] = 0x00;
  buffer[5] = 0x80;  // -32768
  EXPECT_EQ(BufferPeak(buffer), 32768);

  EXPECT_EQ(TriggerProblem(TriggerSettings{}), "");
  for (auto change : {+[](TriggerSettings& s) { s.ThresholdDb = -61; },
                      +[](TriggerSettings& s) { s.ThresholdDb = 1; },
                      +[](TriggerSettings& s) { s.PreRollSeconds = 10.5; },
                      +[](TriggerSettings& s) { s.PreRollSeconds = -1; },
                      +[](TriggerSettings& s) { s.HangoverSeconds = 0.4; },
                      +[](TriggerSettings& s) { s.HangoverSeconds = 31; }}) {
    TriggerSettings settings;
    change(settings);
    EXPECT_NE(TriggerProblem(settings), "");
  }
}

}  // namespace
}  // namespace tavrin::schedule
