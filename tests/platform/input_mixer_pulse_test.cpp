// The PulseAudio input mixer on the private daemon of tests/e2e/with-pulse.sh:
// one null sink whose monitor, the default source, has no ports. pactl reads
// the server's side independently.
#include "platform/input_mixer_pulse.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "../e2e/command_output.h"
#include "../e2e/pulse_daemon_pid.h"
#include "../e2e/wait_until.h"

namespace tavrin::platform {
namespace {

using tavrin::testing::CommandOutput;
using tavrin::testing::ContinueAtExit;
using tavrin::testing::PulseDaemonPid;
using tavrin::testing::WaitUntil;

using Clock = std::chrono::steady_clock;

const std::string kMonitor = "tavrin_null.monitor";
const std::string kMonitorDescription = "Monitor of Tavrin Null Sink";

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The mixer reads the server's change events: a change made elsewhere shows
// once its event has arrived.
bool Eventually(const std::function<bool()>& condition) {
  return WaitUntil(condition, std::chrono::seconds(5));
}

TEST(InputMixerPulse, MonitorSourceIsOneInputNamedByItsDescriptionAndOn) {
  PulseInputMixer mixer;
  EXPECT_EQ(mixer.GetInput(0), kInputMissing);
  EXPECT_FALSE(mixer.SetInput(0, kInputOn));

  ASSERT_TRUE(mixer.Init(0));
  EXPECT_EQ(mixer.GetInputName(0), kMonitorDescription);
  EXPECT_EQ(mixer.GetInputName(-1), kMonitorDescription);
  EXPECT_EQ(mixer.GetInputName(1), std::nullopt);
  EXPECT_EQ(mixer.GetInput(0) & kInputOff, 0u);
  EXPECT_EQ(mixer.GetInput(1), kInputMissing);
  EXPECT_EQ(mixer.GetInput(5), kInputMissing);
  EXPECT_EQ(mixer.GetInput(-2), kInputMissing);
  EXPECT_TRUE(mixer.SetInput(0, kInputOn));
  EXPECT_FALSE(mixer.SetInput(5, kInputOn));

  mixer.Free();
  EXPECT_EQ(mixer.GetInput(0), kInputMissing);
  // The daemon has no other source.
  EXPECT_FALSE(mixer.Init(1));
}

TEST(InputMixerPulse, LevelIsTheSourceVolumeInPercent) {
  PulseInputMixer mixer;
  ASSERT_TRUE(mixer.Init(0));
  ASSERT_TRUE(mixer.SetInput(0, kInputLevel | 50));
  EXPECT_EQ(mixer.GetInput(0) & kInputLevelMask, 50u);
  EXPECT_NE(CommandOutput("pactl get-source-volume " + kMonitor).find("32768 /  50%"),
            std::string::npos)
      << CommandOutput("pactl get-source-volume " + kMonitor);

  // A change reads back at once, even while the server's answer to an earlier
  // one is still on its way (each change starts a refresh of the view).
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(mixer.SetInput(0, kInputLevel | 100));
    ASSERT_EQ(mixer.GetInput(0) & kInputLevelMask, 100u) << "change " << i;
    ASSERT_TRUE(mixer.SetInput(0, kInputLevel | 0));
    ASSERT_EQ(mixer.GetInput(-1) & kInputLevelMask, 0u) << "change " << i;
  }

  // Changed elsewhere (the desktop's mixer), read back here; above normal reads 100.
  ASSERT_EQ(std::system(("pactl set-source-volume " + kMonitor + " 30%").c_str()), 0);
  EXPECT_TRUE(Eventually([&] { return mixer.GetInput(0) == 30u; })) << mixer.GetInput(0);
  ASSERT_EQ(std::system(("pactl set-source-volume " + kMonitor + " 150%").c_str()), 0);
  EXPECT_TRUE(Eventually([&] { return mixer.GetInput(0) == 100u; })) << mixer.GetInput(0);
}

TEST(InputMixerPulse, MasterIsTheSourceAndSwitchingItOnUnmutes) {
  PulseInputMixer mixer;
  ASSERT_TRUE(mixer.Init(0));
  ASSERT_EQ(std::system(("pactl set-source-mute " + kMonitor + " 1").c_str()), 0);
  ASSERT_TRUE(Eventually([&] { return (mixer.GetInput(-1) & kInputOff) != 0; }));
  ASSERT_TRUE(mixer.SetInput(-1, kInputOn));
  EXPECT_EQ(mixer.GetInput(-1) & kInputOff, 0u);
  EXPECT_NE(CommandOutput("pactl get-source-mute " + kMonitor).find("Mute: no"), std::string::npos);
}

TEST(InputMixerPulse, HungServerNeverHoldsTheCallerAndChangesLandWhenItContinues) {
  const pid_t daemon = PulseDaemonPid();
  ASSERT_GT(daemon, 0);
  PulseInputMixer mixer;
  ASSERT_TRUE(mixer.Init(0));
  ASSERT_TRUE(mixer.SetInput(0, kInputLevel | 70));
  ASSERT_EQ(::kill(daemon, SIGSTOP), 0);
  const ContinueAtExit resume{daemon};

  // Reads answer from what the server said last; a change is sent, not waited for.
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(mixer.GetInput(0), 70u);
  EXPECT_EQ(mixer.GetInputName(0), kMonitorDescription);
  EXPECT_TRUE(mixer.SetInput(0, kInputLevel | 40));
  EXPECT_EQ(mixer.GetInput(0), 40u);
  EXPECT_LT(SecondsSince(start), 0.05);

  ::kill(daemon, SIGCONT);
  EXPECT_NE(CommandOutput("pactl get-source-volume " + kMonitor).find("/  40%"), std::string::npos)
      << CommandOutput("pactl get-source-volume " + kMonitor);
  EXPECT_EQ(mixer.GetInput(0), 40u);
}

// It ends the daemon: ctest runs it on a daemon of its own.
TEST(InputMixerPulse, ServerGoneAnswersMissingAtOnce) {
  PulseInputMixer mixer;
  ASSERT_TRUE(mixer.Init(0));
  ASSERT_EQ(std::system("pactl exit"), 0);
  // The connection sees the server go; from then on every call answers at once.
  ASSERT_TRUE(
      WaitUntil([&] { return mixer.GetInput(0) == kInputMissing; }, std::chrono::seconds(10)));
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(mixer.GetInput(0), kInputMissing);
  EXPECT_EQ(mixer.GetInputName(0), std::nullopt);
  EXPECT_FALSE(mixer.SetInput(0, kInputLevel | 10));
  EXPECT_LT(SecondsSince(start), 0.5);
}

}  // namespace
}  // namespace tavrin::platform
