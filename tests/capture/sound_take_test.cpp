// A sound-activated take: the monitored buffer stream, the trigger and the
// appended take together, checked against the device's own samples.
#include <fcntl.h>

#include "capture_test_support.h"
#include "schedule/sound_trigger.h"

namespace tavrin::capture::testing {
namespace {

// Quiet buffers (under -40 dBFS) except the loud ones of the bursts; every
// sample differs from its neighbours, so a buffer out of place shows.
constexpr std::array<std::pair<std::uint64_t, std::uint64_t>, 2> kBursts{{{50, 60}, {120, 125}}};

bool InBurst(std::uint64_t frame) {
  const std::uint64_t buffer = frame / kFramesPerBuffer;
  bool loud = false;
  for (const auto& [first, end] : kBursts) loud = loud || (buffer >= first && buffer < end);
  return loud;
}

std::int16_t Loud(std::uint64_t frame) {
  return static_cast<std::int16_t>(static_cast<int>(frame * 31 % 40000) - 20000);
}

void BurstSignal(std::uint64_t frame, std::int16_t& left, std::int16_t& right) {
  left =
      InBurst(frame) ? Loud(frame) : static_cast<std::int16_t>(static_cast<int>(frame % 97) - 48);
  right = static_cast<std::int16_t>(static_cast<int>(frame % 89) - 44);
}

std::vector<Frame> SourceFramesOf(std::uint64_t firstBuffer, std::uint64_t endBuffer) {
  std::vector<Frame> frames;
  for (std::uint64_t f = firstBuffer * kFramesPerBuffer; f < endBuffer * kFramesPerBuffer; ++f) {
    frames.emplace_back();
    BurstSignal(f, frames.back().Left, frames.back().Right);
  }
  return frames;
}

// Appends what the trigger keeps to the take, as the recorder window does.
class TakeSink : public CaptureObserver, public schedule::TriggerSink {
public:
  TakeSink(RecorderState& state, CaptureContext& context, schedule::TriggerSettings settings)
      : m_state(state), m_context(context), m_trigger(settings, 10.0) {}
  void BufferCaptured(std::span<const std::uint8_t> buffer) override {
    m_trigger.Feed(buffer, *this);
  }
  void CaptureRestarted() override { m_trigger.Restart(*this); }
  void EventStarted() override {
    if (!m_state.AppendingTake && m_state.AppendedBuffers == 0) {
      EXPECT_EQ(BeginAppendedTake(m_state), 0);
    }
  }
  void Keep(std::span<const std::uint8_t> buffer) override {
    AppendToTake(m_state, m_context, buffer);
  }
  void EventEnded() override {}
  void Finish() {
    m_trigger.Finish(*this);
    EndAppendedTake(m_state);
  }

private:
  RecorderState& m_state;
  CaptureContext& m_context;
  schedule::SoundTrigger m_trigger;
};

// Two sources: the first has the bursts' quiet right channel in both of its
// own; the second the bursts, kept 1000 frames inside their buffers, since
// the sources may lie a few milliseconds apart.
void QuietFirstSource(std::uint64_t frame, std::int16_t& left, std::int16_t& right) {
  std::int16_t burst = 0;
  BurstSignal(frame, burst, left);
  right = left;
}
void SecondSourceBursts(std::uint64_t frame, std::int16_t& left, std::int16_t& right) {
  const bool loud = frame >= 1000 && InBurst(frame - 1000) && InBurst(frame + 1000);
  left = right = loud ? Loud(frame) : std::int16_t{0};
}

struct Case {
  const char* Name;
  std::int32_t LoopBuffers;  // 0: continuous
  // The bursts come from a second source, side by side with a quiet first.
  bool FromSecondSource = false;
};

class SoundTake : public CaptureFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(SoundTake, KeepsEachBurstFromItsPreRollToItsHangoverBitForBit) {
  Device.SetSignal(BurstSignal);
  if (GetParam().FromSecondSource) {
    Device.SetSignal(QuietFirstSource);
    SecondDevice.SetDevices({{"Line In", platform::kWaveFormatAll, 2, "line"}});
    SecondDevice.SetSignal(SecondSourceBursts);
    Paired.SetSecond("line", platform::PairMode::SideBySide, 0, 0);
  }
  if (GetParam().LoopBuffers > 0) {
    State.LoopMode = true;
    State.LoopHalves = GetParam().LoopBuffers / kBuffersPerHalf;
  }
  schedule::TriggerSettings settings;
  settings.PreRollSeconds = 2.0;
  settings.HangoverSeconds = 1.0;
  TakeSink sink(State, Context, settings);
  Context.Observer = &sink;
  State.TapBuffers = true;
  ASSERT_TRUE(OpenCapture(State, Context));
  std::mt19937 random(20261209);
  // Ends inside a half: the buffers the ring holds at close still reach the trigger.
  RunWithRandomPolls(200 * kFramesPerBuffer + 1234, random);
  CloseCapture(State, Context);
  sink.Finish();

  // Pause: pre-roll 30..49, the burst, a second of silence; then the second
  // burst's pre-roll 100..119 (none of it kept before), the burst, silence.
  std::vector<Frame> expected = SourceFramesOf(30, 70);
  const std::vector<Frame> second = SourceFramesOf(100, 135);
  expected.insert(expected.end(), second.begin(), second.end());
  if (GetParam().LoopBuffers > 0) {
    expected.erase(expected.begin(), expected.end() - GetParam().LoopBuffers * kFramesPerBuffer);
  }
  std::vector<Frame> take = ReadTakeInOrder();
  if (GetParam().FromSecondSource) {
    // The first source's own samples on the left tell which buffers were
    // kept; the bursts, resampled, are on the right.
    int loudest = 0;
    for (Frame& frame : take)
      loudest = std::max(loudest, std::abs(int{std::exchange(frame.Right, 0)}));
    EXPECT_GT(loudest, 8000);
    for (Frame& frame : expected) frame = {frame.Right, 0};
  }
  EXPECT_EQ(FirstMismatch(take, expected), -1);
  EXPECT_EQ(State.Take.TakeLength * kFramesPerBuffer, expected.size());
  EXPECT_TRUE(Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, SoundTake,
                         ::testing::Values(Case{"Continuous", 0}, Case{"LoopOfFortyBuffers", 40},
                                           Case{"OnlyTheSecondSourceSounds", 0, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

using AppendedTake = CaptureFixture;

TEST_F(AppendedTake, AFullDiskEndsAnAppendedTakeAndSaysSo) {
  ASSERT_EQ(BeginAppendedTake(State), 0);
  const int fullDevice = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fullDevice, 0);
  State.Take.RawStream.Adopt(fullDevice);
  State.ProgramDrive = "/data";
  const std::vector<std::uint8_t> buffer(kBufferBytes);
  EXPECT_FALSE(AppendToTake(State, Context, buffer));
  EXPECT_FALSE(State.AppendingTake);
  EXPECT_EQ(Messages, std::vector<std::string>{"There is no space on drive /data"});
}

}  // namespace
}  // namespace tavrin::capture::testing
