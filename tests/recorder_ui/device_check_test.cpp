// The device check on a simulated wave-in device and a simulated mixer, with a
// window that only records what it is asked to do.
#include "recorder_ui/device_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/input_mixer_simulated.h"
#include "platform/wave_in_simulated.h"

namespace tavrin::recorder_ui {
namespace {

using platform::kInputLevel;
using platform::kInputOn;
using platform::SimulatedInputMixer;
using CallKind = SimulatedInputMixer::CallKind;
using Call = SimulatedInputMixer::Call;

const std::string kRestartText = "You must restart the program for the changes to take effect.";

class FakePanels : public platform::SoundPanels {
public:
  bool OpenRecordingSettings(std::string&) override { return Open = true; }
  bool OpenPlaybackSettings(std::string&) override { return false; }
  bool IsOpen() override { return Open; }
  bool Open = false;
};

class DeviceCheckTest : public ::testing::Test {
protected:
  DeviceCheckTest() {
    State.AllocateCaptureMemory();
    Device.SetDevices({{"Mic A"}});
    Hooks.ClearMeters = [this] { Events.push_back("ClearMeters"); };
    Hooks.User.ProcessMessages = [this] { Events.push_back("ProcessMessages"); };
    Hooks.SaveSettings = [this] { Events.push_back("SaveSettings"); };
    Hooks.User.ShowMessage = [this](const std::string& text) {
      Events.push_back("Message: " + text);
    };
    Hooks.RestartProgram = [this] { Events.push_back("RestartProgram"); };
    Hooks.ShowSourceCaption = [this](const std::string& caption) { Caption = caption; };
    Hooks.ShowStatus = [this](const std::string& text) { Events.push_back("Status: " + text); };
  }

  void Tick(int times = 1) {
    for (int i = 0; i < times; ++i) CheckDevice(State, Check, Context, Mixer, Panels, Hooks);
  }
  long Count(const std::string& event) const {
    return std::count(Events.begin(), Events.end(), event);
  }

  capture::RecorderState State;
  DeviceCheckState Check;
  platform::SimulatedWaveIn Device;
  std::vector<std::string> CaptureMessages;
  capture::CaptureContext Context{
      Device, [this](const std::string& text) { CaptureMessages.push_back(text); }, {}, nullptr};
  SimulatedInputMixer Mixer;
  FakePanels Panels;
  DeviceCheckHooks Hooks;
  std::vector<std::string> Events;
  std::string Caption = "(never shown)";
};

TEST_F(DeviceCheckTest, FirstTickWithADeviceSetsUpMixerCaptureAndCaption) {
  Device.SetDevices({{"Mic A"}, {"Line B"}});
  Mixer.SetInputs({{"Line", false, 10}, {"Mic", true, 40}});
  Tick();

  ASSERT_EQ(Mixer.CallsOf(CallKind::Init), (std::vector<Call>{{CallKind::Init, 0}}));
  EXPECT_EQ(Mixer.CallsOf(CallKind::SetInput),
            (std::vector<Call>{{CallKind::SetInput, -1, kInputOn},
                               {CallKind::SetInput, 0, kInputOn},
                               {CallKind::SetInput, 1, kInputOn}}));
  EXPECT_EQ(Check.SelectedInput, 1);
  EXPECT_TRUE(State.DeviceOpen);
  EXPECT_TRUE(Device.IsStarted());
  EXPECT_EQ(State.DeviceName, "Mic A");
  EXPECT_EQ(State.PreviousDeviceName, "Mic A");
  EXPECT_EQ(State.DeviceNames[1], "Line B");
  EXPECT_EQ(Caption, "Mic A");
  // Input 0's level 10 is 10.7 pixels: 11 + 18.
  EXPECT_EQ(Check.KnobLeft, 29);

  Tick(3);
  EXPECT_EQ(Mixer.CallsOf(CallKind::Init).size(), 1u);
  EXPECT_EQ(Device.OpenCount(), 1);
  EXPECT_TRUE(Events.empty());
}

TEST_F(DeviceCheckTest, WithoutADeviceNothingIsSetUpUntilOneAppears) {
  Device.SetDevices({});
  Tick(2);
  EXPECT_TRUE(Mixer.CallsOf(CallKind::Init).empty());
  EXPECT_FALSE(State.DeviceOpen);
  EXPECT_EQ(Caption, "");

  Device.SetDevices({{"Mic A"}});
  Tick();
  EXPECT_EQ(Mixer.CallsOf(CallKind::Init).size(), 1u);
  EXPECT_TRUE(Mixer.IsInitialised());
  EXPECT_TRUE(State.DeviceOpen);
  EXPECT_EQ(Caption, "Mic A");
}

TEST_F(DeviceCheckTest, SearchWithEveryInputOffStopsAtTheMissingIndexAndUsesInputZero) {
  Mixer.SetInputs({{"Line", false, 30}, {"Mic", false, 30}, {"CD", false, 30}});
  Tick();
  std::vector<int> asked;
  for (const Call& call : Mixer.CallsOf(CallKind::GetInput)) asked.push_back(call.Argument);
  ASSERT_GE(asked.size(), 4u);
  EXPECT_EQ(std::vector<int>(asked.begin(), asked.begin() + 4), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(Check.SelectedInput, 0);
  EXPECT_EQ(Mixer.CallsOf(CallKind::SetInput).back(), (Call{CallKind::SetInput, 0, kInputOn}));
}

TEST_F(DeviceCheckTest, MixerThatFailedToInitialiseLeavesKnobWhereItIs) {
  Mixer.SetInitFails(true);
  Check.KnobLeft = 50;
  Tick(2);
  EXPECT_EQ(Check.SelectedInput, 0);
  EXPECT_EQ(Check.KnobLeft, 50);
  // Capture does not depend on the mixer.
  EXPECT_TRUE(State.DeviceOpen);
}

TEST_F(DeviceCheckTest, KnobFollowsTheLevelOfInputZeroOnEveryTick) {
  // level x 107 / 100, rounded, + 18, at most 124.
  const std::vector<std::pair<std::uint32_t, int>> cases = {
      {50, 72}, {100, 124}, {0, 18}, {1, 19}, {2, 20}, {99, 124}, {98, 123}, {75, 98}};
  Tick();
  for (const auto& [level, left] : cases) {
    Mixer.SetInputs({{"Mic", true, level}});
    Tick();
    EXPECT_EQ(Check.KnobLeft, left) << "level " << level;
  }
}

TEST_F(DeviceCheckTest, DefaultDeviceChangedWhileRecordingRestartsOnceAfterTheTake) {
  Tick();
  State.Recording = true;
  Device.SetDevices({{"Headset"}, {"Mic A"}});
  Tick(3);
  EXPECT_EQ(Count("RestartProgram"), 0);
  EXPECT_TRUE(Check.RestartDeferred);
  EXPECT_EQ(Caption, "Headset");

  State.Recording = false;
  Events.clear();
  Tick();
  EXPECT_EQ(Events, (std::vector<std::string>{"SaveSettings", "ProcessMessages",
                                              "Message: " + kRestartText, "RestartProgram"}));
  EXPECT_FALSE(Check.RestartDeferred);
  Tick(3);
  EXPECT_EQ(Count("RestartProgram"), 1);
}

TEST_F(DeviceCheckTest, DefaultDeviceChangeWaitsWhileBusyAndIsFollowedInPlaceOverAnUnsavedTake) {
  bool busy = true;
  Hooks.Busy = [&busy] { return busy; };
  Hooks.TakeUnsaved = [] { return true; };
  Tick();
  Events.clear();
  Device.SetDevices({{"Headset"}, {"Mic A"}});
  Tick(3);
  EXPECT_TRUE(Events.empty());
  EXPECT_TRUE(Check.RestartDeferred);
  EXPECT_EQ(Device.OpenCount(), 1);

  busy = false;
  Tick(3);
  EXPECT_EQ(Count("RestartProgram"), 0);
  EXPECT_EQ(Count("ClearMeters"), 1);
  EXPECT_FALSE(Check.RestartDeferred);
  EXPECT_EQ(State.PreviousDeviceName, "Headset");
  EXPECT_TRUE(State.DeviceOpen);
  EXPECT_EQ(Device.OpenCount(), 2);
  EXPECT_EQ(Mixer.CallsOf(CallKind::Init).size(), 2u);
  EXPECT_EQ(State.DeviceNames[0], "Headset");
}

TEST_F(DeviceCheckTest, DefaultDeviceChangedWhileOurPanelIsOpenWaitsForItToClose) {
  Tick();
  std::string error;
  Panels.OpenRecordingSettings(error);
  Device.SetDevices({{"Headset"}});
  Tick(3);
  EXPECT_TRUE(Events.empty());

  Panels.Open = false;
  Tick(2);
  EXPECT_EQ(Count("RestartProgram"), 1);
  EXPECT_EQ(Count("Message: " + kRestartText), 1);
}

TEST_F(DeviceCheckTest, LosingEveryDeviceClosesCaptureAndFreesMixerUntilOneIsBack) {
  Tick();
  Device.SetDevices({});
  Events.clear();
  Tick();
  EXPECT_FALSE(State.DeviceOpen);
  EXPECT_FALSE(Device.IsOpen());
  EXPECT_FALSE(Mixer.IsInitialised());
  EXPECT_EQ(Caption, "");
  EXPECT_EQ(Events, (std::vector<std::string>{"ProcessMessages", "ClearMeters"}));

  // The same device back: set up again in place, no restart.
  Device.SetDevices({{"Mic A"}});
  Events.clear();
  Tick();
  EXPECT_TRUE(State.DeviceOpen);
  EXPECT_TRUE(Mixer.IsInitialised());
  EXPECT_EQ(Mixer.CallsOf(CallKind::Init).size(), 2u);
  EXPECT_EQ(Caption, "Mic A");
  EXPECT_TRUE(Events.empty());
}

TEST_F(DeviceCheckTest, OpenFailureIsShownOncePerDeviceWhileEveryTickRetries) {
  Device.SetOpenError(platform::kMmAllocated);
  Tick(10);
  EXPECT_EQ(CaptureMessages.size(), 1u);
  EXPECT_FALSE(State.DeviceOpen);
  EXPECT_EQ(Check.ReportedOpenFailure, "Mic A");

  Device.SetOpenError(platform::kMmNoError);
  Tick();
  EXPECT_TRUE(State.DeviceOpen);
  EXPECT_EQ(Check.ReportedOpenFailure, "");

  // Once it has opened, a later failure is news again.
  capture::CloseCapture(State, Context);
  Device.SetOpenError(platform::kMmAllocated);
  Tick(5);
  EXPECT_EQ(CaptureMessages.size(), 2u);
}

TEST_F(DeviceCheckTest, RefusedDeviceIsReportedOnce) {
  Device.SetDevices({{"Old Card", 0x7FF}});
  Tick(10);
  EXPECT_EQ(CaptureMessages, (std::vector<std::string>{"The audio recording device:\nOld Card\n"
                                                       "can not be used!\nPlease install another "
                                                       "device."}));
  EXPECT_FALSE(Device.IsOpen());
}

TEST_F(DeviceCheckTest, InPlaceModeWaitsForTheTakeThenSetsUpTheMovedDevice) {
  State.NewWindows = false;
  Device.SetDevices({{"Mic A"}, {"Line B"}});
  Mixer.SetDeviceCount(2);
  Mixer.SetExclusive(true);
  Mixer.SetInputs({{"Line In", false, 20}, {"Microphone", true, 60}});
  Tick();
  EXPECT_EQ(Caption, "Microphone (Mic A)");
  // 60 x 1.07 = 64.2.
  EXPECT_EQ(Check.KnobLeft, 82);

  // "Line B" becomes device 0; the list filled at start-up still has it at 1.
  State.Recording = true;
  Device.SetDevices({{"Line B"}, {"Mic A"}});
  Tick(2);
  EXPECT_EQ(Device.OpenCount(), 1);
  EXPECT_TRUE(Mixer.CallsOf(CallKind::SetDevice).empty());
  EXPECT_EQ(Caption, "Microphone (Line B)");

  State.Recording = false;
  Mixer.ClearCalls();
  Tick();
  EXPECT_EQ(Device.OpenCount(), 2);
  EXPECT_EQ(Events, (std::vector<std::string>{"ProcessMessages", "ClearMeters"}));
  const std::vector<Call> calls = Mixer.Calls();
  const auto freed = std::find(calls.begin(), calls.end(), Call{CallKind::Free, 0});
  ASSERT_NE(freed, calls.end());
  EXPECT_EQ(std::find(freed, calls.end(), Call{CallKind::SetDevice, 0}) + 1,
            std::find(freed, calls.end(), Call{CallKind::Init, 0}));
  EXPECT_EQ(Mixer.CurrentDevice(), 0);
}

// Sources of a machine: the default microphone, a USB one, an output's monitor.
const platform::SimulatedWaveIn::Device kMicA{"Mic A"};
const platform::SimulatedWaveIn::Device kUsb{"USB Mic", platform::kWaveFormatAll, 2, "usb"};
const platform::SimulatedWaveIn::Device kMonitor{"Monitor of Speakers", platform::kWaveFormatAll, 2,
                                                 "speakers.monitor", "Speakers"};

TEST_F(DeviceCheckTest, ChosenSourceIsRecordedAndAChangeOfTheDefaultLeavesItAlone) {
  Device.SetDevices({kMicA, kUsb});
  ChooseSource(Check.Source, "usb");
  Tick();
  EXPECT_EQ(Device.OpenSource(), "usb");
  EXPECT_EQ(Caption, "USB Mic");
  EXPECT_EQ(State.DeviceNames[0], "USB Mic");

  Device.SetDevices({{"Headset"}, kMicA, kUsb});
  Tick(3);
  EXPECT_EQ(Device.OpenCount(), 1);
  EXPECT_TRUE(Events.empty());

  // Back to following the default: at once, without a restart.
  ChooseSource(Check.Source, "");
  Tick();
  EXPECT_EQ(Device.OpenSource(), "Headset");
  EXPECT_EQ(Caption, "Headset");
  EXPECT_EQ(Count("RestartProgram"), 0);
}

TEST_F(DeviceCheckTest, MissingChosenSourceIsToldOnceAndTakenBackWhenItReturns) {
  ChooseSource(Check.Source, "speakers.monitor");
  Tick(3);
  EXPECT_EQ(Device.OpenSource(), "Mic A");
  EXPECT_EQ(Caption, "Mic A");
  // Never listed in this run: its stored name.
  EXPECT_EQ(Events, (std::vector<std::string>{
                        "Status: speakers.monitor is not connected; recording from the default "
                        "source"}));

  Device.SetDevices({kMicA, kMonitor});
  Events.clear();
  Tick();
  EXPECT_EQ(Device.OpenSource(), "speakers.monitor");
  EXPECT_EQ(Caption, "Monitor of Speakers");
  EXPECT_EQ(Events, (std::vector<std::string>{"ClearMeters"}));

  // Gone while monitoring: the open stream breaks, the default stands in.
  Device.SetDevices({kMicA});
  Events.clear();
  Tick(3);
  EXPECT_TRUE(State.DeviceOpen);
  EXPECT_EQ(Device.OpenSource(), "Mic A");
  EXPECT_EQ(Count("Status: Speakers 的声音 (monitor) is not connected; recording from the "
                  "default source"),
            1);
  EXPECT_EQ(Check.Source.Chosen, "speakers.monitor");
  EXPECT_EQ(Count("RestartProgram"), 0);

  // The default changes meanwhile: followed in place, as it only stands in.
  Device.SetDevices({{"Headset"}, kMicA});
  Tick();
  EXPECT_EQ(Device.OpenSource(), "Headset");
  EXPECT_EQ(Count("RestartProgram"), 0);
}

TEST_F(DeviceCheckTest, ChosenSourceGoingAwayEndsTheTakeOnceThenTheDefaultIsMonitored) {
  Device.SetDevices({kMicA, kUsb});
  ChooseSource(Check.Source, "usb");
  Tick();
  State.Recording = true;
  Device.SetDevices({kMicA});
  Tick(3);
  EXPECT_FALSE(State.Recording);
  EXPECT_EQ(
      CaptureMessages,
      (std::vector<std::string>{DeviceLostMessage("Simulated device error 1.", State.TimeText)}));
  EXPECT_TRUE(State.DeviceOpen);
  EXPECT_EQ(Device.OpenSource(), "Mic A");
}

TEST_F(DeviceCheckTest, RefusedChosenSourceGivesWayToTheDefaultUntilItIsListedAgain) {
  struct Row {
    const char* Case;
    platform::SimulatedWaveIn::Device Refusing;
    std::string Told;
  };
  auto refusing = [](std::uint32_t formats, platform::MmResult openError) {
    platform::SimulatedWaveIn::Device usb = kUsb;
    usb.Formats = formats;
    usb.OpenError = openError;
    return usb;
  };
  const Row rows[] = {
      {"stream refused", refusing(platform::kWaveFormatAll, platform::kMmAllocated),
       "Status: USB Mic can not be used (" + platform::CommonErrorText(platform::kMmAllocated) +
           "); recording from the default source"},
      {"format refused", refusing(0x7FF, platform::kMmNoError),
       "Status: USB Mic can not be used (it offers no 44.1 kHz 16-bit stereo); recording from "
       "the default source"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Case);
    DeviceCheckState check;
    Check = check;
    capture::CloseCapture(State, Context);
    State.DeviceName.clear();
    State.PreviousDeviceName.clear();
    Device.SetDevices({kMicA, row.Refusing});
    Events.clear();
    ChooseSource(Check.Source, "usb");
    Tick(3);
    EXPECT_TRUE(State.DeviceOpen);
    EXPECT_EQ(Device.OpenSource(), "Mic A");
    EXPECT_EQ(Caption, "Mic A");
    EXPECT_EQ(Count(row.Told), 1);
    EXPECT_TRUE(CaptureMessages.empty());
    // Not tried again on every tick while it stays listed ...
    const int opens = Device.OpenCount();
    Tick(3);
    EXPECT_EQ(Device.OpenCount(), opens);
    // ... but once it has gone and come back, mended.
    Device.SetDevices({kMicA});
    Tick();
    Device.SetDevices({kMicA, kUsb});
    Tick();
    EXPECT_EQ(Device.OpenSource(), "usb");
  }
}

TEST(SourceMenu, ListsTheDefaultThenInputsThenMonitorsAndChecksTheOneInUse) {
  const std::vector<platform::SourceInfo> sources{
      {"speakers.monitor", "Monitor of Speakers", true, "Speakers"},
      {"mic", "Built-in Mic", false, ""},
      {"hdmi.monitor", "Monitor of HDMI", true, ""},
      {"usb", "USB Mic", false, ""}};
  EXPECT_EQ(
      SourceMenuEntries(sources, "speakers.monitor"),
      (std::vector<SourceMenuEntry>{{"", "跟随系统默认", false},
                                    {"mic", "Built-in Mic", false},
                                    {"usb", "USB Mic", false},
                                    {"speakers.monitor", "Speakers 的声音 (monitor)", true},
                                    {"hdmi.monitor", "Monitor of HDMI 的声音 (monitor)", false}}));
  EXPECT_TRUE(SourceMenuEntries({}, "").front().Checked);
  // Two described alike are told apart by their names.
  EXPECT_EQ(SourceMenuEntries({{"a", "PW", false, ""}, {"b", "PW", false, ""}}, "b"),
            (std::vector<SourceMenuEntry>{
                {"", "跟随系统默认", false}, {"a", "PW (a)", false}, {"b", "PW (b)", true}}));
}

TEST(DeviceCheckSlider, DragPastBothEndsStopsAtTheStopsAndSendsZeroAnd99) {
  DeviceCheckState check;
  check.KnobLeft = 72;
  check.SelectedInput = 2;
  SimulatedInputMixer mixer;
  mixer.SetInputs({{"A"}, {"B"}, {"C"}});
  mixer.Init(0);
  mixer.ClearCalls();

  VolumeMouseDown(check, true, 5);
  EXPECT_TRUE(VolumeMouseMove(check, mixer, 505));
  EXPECT_EQ(check.KnobLeft, 124);
  EXPECT_FALSE(VolumeMouseMove(check, mixer, 15));
  EXPECT_EQ(check.KnobLeft, 124);
  EXPECT_TRUE(VolumeMouseMove(check, mixer, -495));
  EXPECT_EQ(check.KnobLeft, 18);
  // One pixel in: 0.93 rounds to 1.
  EXPECT_TRUE(VolumeMouseMove(check, mixer, 6));
  EXPECT_EQ(check.KnobLeft, 19);
  EXPECT_EQ(mixer.CallsOf(CallKind::SetInput),
            (std::vector<Call>{{CallKind::SetInput, 2, kInputLevel | 99},
                               {CallKind::SetInput, 2, kInputLevel | 99},
                               {CallKind::SetInput, 2, kInputLevel | 0},
                               {CallKind::SetInput, 2, kInputLevel | 1}}));
  EXPECT_EQ(mixer.Inputs()[2].Level, 1u);

  VolumeMouseUp(check);
  EXPECT_FALSE(VolumeMouseMove(check, mixer, 60));
  VolumeMouseDown(check, false, 5);
  EXPECT_FALSE(VolumeMouseMove(check, mixer, 60));
  EXPECT_EQ(check.KnobLeft, 19);
  EXPECT_EQ(mixer.CallsOf(CallKind::SetInput).size(), 4u);
}

TEST(DeviceCheckSlider, HintAreaIncludesItsBounds) {
  EXPECT_TRUE(InVolumeHintArea(18, 79));
  EXPECT_TRUE(InVolumeHintArea(135, 95));
  EXPECT_FALSE(InVolumeHintArea(17, 80));
  EXPECT_FALSE(InVolumeHintArea(136, 80));
  EXPECT_FALSE(InVolumeHintArea(50, 78));
  EXPECT_FALSE(InVolumeHintArea(50, 96));
}

TEST(FindDeviceIndex, ReturnsTheLastEqualIdAmongTheFirstCount) {
  capture::RecorderState state;
  state.DeviceNames[0] = "USB Mic";
  state.DeviceNames[1] = "Line";
  state.DeviceNames[2] = "USB Mic";
  EXPECT_EQ(FindDeviceIndex(state, "USB Mic", 3), 2);
  EXPECT_EQ(FindDeviceIndex(state, "Line", 3), 1);
  EXPECT_EQ(FindDeviceIndex(state, "USB Mic", 2), 0);
  EXPECT_EQ(FindDeviceIndex(state, "usb mic", 3), -1);
  EXPECT_EQ(FindDeviceIndex(state, "Headset", 3), -1);
  state.DeviceNames[100] = "Last";
  EXPECT_EQ(FindDeviceIndex(state, "Last", 5000), 100);
}

}  // namespace
}  // namespace tavrin::recorder_ui
