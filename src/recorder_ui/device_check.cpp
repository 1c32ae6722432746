#include "recorder_ui/device_check.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/samples.h"
#include "capture/signal_processing.h"
#include "session/recording_controls.h"

namespace tavrin::recorder_ui {

namespace {

using platform::kInputLevel;
using platform::kInputLevelMask;
using platform::kInputMissing;
using platform::kInputOff;
using platform::kInputOn;
using platform::kMasterInput;

int MaxKnobLeft(int knobWidth) {
  return kVolumeSliderRightEdge - knobWidth;
}

int ClampKnobLeft(std::int64_t left, int knobWidth) {
  if (left <= kVolumeSliderMinLeft) left = kVolumeSliderMinLeft;
  if (left >= MaxKnobLeft(knobWidth)) left = MaxKnobLeft(knobWidth);
  return static_cast<int>(left);
}

void Call(const std::function<void()>& hook) {
  if (hook) hook();
}

// Reads device 0's capability record into DeviceCaps[0] and DeviceName.
bool ReadDeviceZero(capture::RecorderState& state, capture::CaptureContext& context) {
  platform::WaveInCaps caps{};
  if (context.Device.GetDevCaps(0, caps) != platform::kMmNoError) return false;
  state.DeviceCaps[0] = caps;
  state.DeviceName.assign(caps.Name, ::strnlen(caps.Name, sizeof caps.Name));
  return true;
}

// Every closed tick retries the open, so its failure is shown once per device
// name instead of every 200 ms.
void OpenCaptureReportingOnce(capture::RecorderState& state, DeviceCheckState& check,
                              capture::CaptureContext& context) {
  if (state.CaptureHolds > 0) return;
  auto showOnce = [&state, &check, &context](const std::string& text) {
    if (!check.ReportedOpenFailure.empty() && check.ReportedOpenFailure == state.DeviceName) {
      return;
    }
    // Marked first: a timer tick inside the message box must not show it again.
    check.ReportedOpenFailure = state.DeviceName;
    context.User.Show(text);
  };
  capture::CaptureContext reporting{context.Device, context.User, context.Observer};
  reporting.User.ShowMessage = showOnce;
  capture::OpenCapture(state, reporting);
  if (state.DeviceOpen) check.ReportedOpenFailure.clear();
}

// The first input that is not switched off; input 0 when the search reaches an
// index the mixer does not have (every input off, or no mixer at all).
int FindSelectedInput(platform::InputMixer& mixer) {
  for (int input = 0;; ++input) {
    const std::uint32_t value = mixer.GetInput(input);
    if (value == kInputMissing) return 0;
    if ((value & kInputOff) == 0) return input;
  }
}

std::optional<int> ReadLevel(platform::InputMixer& mixer, int input) {
  const std::uint32_t value = mixer.GetInput(input);
  if (value == kInputMissing) return std::nullopt;
  return static_cast<int>(value & kInputLevelMask);
}

void SetUpMixer(DeviceCheckState& check, platform::InputMixer& mixer) {
  mixer.Init(0);
  check.SelectedInput = FindSelectedInput(mixer);
  mixer.SetInput(kMasterInput, kInputOn);
  mixer.SetInput(0, kInputOn);
  mixer.SetInput(check.SelectedInput, kInputOn);
  check.MixerFreed = false;
}

void TellStatus(DeviceCheckHooks& hooks, const std::string& text) {
  if (hooks.ShowStatus) hooks.ShowStatus(text);
}

void SetUpSource(const std::string& name, capture::RecorderState& state, DeviceCheckState& check,
                 capture::CaptureContext& context, platform::InputMixer& mixer,
                 DeviceCheckHooks& hooks);

// Opens the capture on device 0. A chosen source that cannot be opened (gone
// since it was listed, a stream or a format the server refuses) gives way to
// the default at once, and the status bar says why: never a silent meter.
void OpenCaptureOnSource(capture::RecorderState& state, DeviceCheckState& check,
                         capture::CaptureContext& context, platform::InputMixer& mixer,
                         DeviceCheckHooks& hooks) {
  SourceChoice& source = check.Source;
  if (source.InUse.empty() || state.CaptureHolds > 0) {
    OpenCaptureReportingOnce(state, check, context);
    return;
  }
  std::string reason = "it offers no 44.1 kHz 16-bit stereo";
  if (state.DeviceCaps[0].Formats >= platform::kWaveFormat4S16) {
    capture::CaptureContext quiet{context.Device, context.User, context.Observer};
    quiet.User.ShowMessage = [&reason](const std::string& text) { reason = text; };
    if (capture::OpenCapture(state, quiet)) return;
  }
  source.Refused = source.InUse;
  SetUpSource({}, state, check, context, mixer, hooks);
  TellStatus(hooks, SourceRefusedMessage(ChosenCaption(source), reason));
}

// Device 0 set up again in place: the capture reopened on it and its mixer set up.
void SetUpInPlace(capture::RecorderState& state, DeviceCheckState& check,
                  capture::CaptureContext& context, platform::InputMixer& mixer,
                  DeviceCheckHooks& hooks) {
  state.PreviousDeviceName = state.DeviceName;
  check.RestartDeferred = false;
  capture::CloseCapture(state, context);
  Call(hooks.ClearMeters);
  mixer.Free();
  SetUpMixer(check, mixer);
  OpenCaptureOnSource(state, check, context, mixer, hooks);
  capture::EnumerateDevices(state, context);
}

// Device 0 becomes the source `name` (empty: the default).
void SetUpSource(const std::string& name, capture::RecorderState& state, DeviceCheckState& check,
                 capture::CaptureContext& context, platform::InputMixer& mixer,
                 DeviceCheckHooks& hooks) {
  context.Device.SelectSource(name);
  check.Source.InUse = name;
  ReadDeviceZero(state, context);
  SetUpInPlace(state, check, context, mixer, hooks);
}

// Device 0 stands for the chosen source while it is listed and has not been
// refused, else for the default. A take records on to its end, and a capture
// held closed (the editor) stays so; the change waits for both.
void FollowChosenSource(capture::RecorderState& state, DeviceCheckState& check,
                        capture::CaptureContext& context, platform::InputMixer& mixer,
                        DeviceCheckHooks& hooks) {
  SourceChoice& source = check.Source;
  const std::vector<platform::SourceInfo> sources = context.Device.Sources();
  const auto chosen = std::find_if(sources.begin(), sources.end(), [&](const auto& listed) {
    return !source.Chosen.empty() && listed.Name == source.Chosen;
  });
  const bool listed = chosen != sources.end();
  if (listed) {
    source.Caption = SourceMenuCaption(*chosen);
    source.ToldMissing.clear();
  } else {
    // Tried again when it comes back.
    source.Refused.clear();
    if (!source.Chosen.empty() && source.ToldMissing != source.Chosen) {
      source.ToldMissing = source.Chosen;
      TellStatus(hooks, NotConnectedMessage(ChosenCaption(source)));
    }
  }
  const std::string wanted = listed && source.Refused != source.Chosen ? source.Chosen : "";
  if (wanted == source.InUse) return;
  if (state.PreviousDeviceName.empty() && state.DeviceName.empty()) {
    // Not set up yet: the first set-up opens it.
    context.Device.SelectSource(wanted);
    source.InUse = wanted;
    return;
  }
  if (state.Recording || state.CaptureHolds > 0) return;
  SetUpSource(wanted, state, check, context, mixer, hooks);
}

void RestartProgram(capture::RecorderState& state, DeviceCheckState& check,
                    DeviceCheckHooks& hooks) {
  // Stands in for stopping the status timer: a tick that runs inside the
  // message box must not start a second restart.
  state.PreviousDeviceName = state.DeviceName;
  check.RestartDeferred = false;
  Call(hooks.SaveSettings);
  hooks.User.Pump();
  hooks.User.Show(kRestartMessage);
  Call(hooks.RestartProgram);
}

// The open device stopped delivering (its source or the server went away):
// the capture closes, a take ends with everything received, and the user is
// told once.
void EndBrokenCapture(capture::RecorderState& state, capture::CaptureContext& context,
                      DeviceCheckHooks& hooks) {
  const platform::MmResult broken = context.Device.DeviceError();
  if (broken == platform::kMmNoError) return;
  const bool wasRecording = state.Recording;
  capture::CloseCapture(state, context);
  Call(hooks.ClearMeters);
  if (!wasRecording) return;
  session::FormatTimeRecorded(state);
  if (context.Observer) context.Observer->TakeEnded();
  context.User.Show(DeviceLostMessage(context.Device.GetErrorText(broken), state.TimeText));
}

// The device is chosen in the desktop's sound settings; a new default device
// takes a restart. Returns the level of input 0 when it could be read.
std::optional<int> FollowDefaultDevice(std::uint32_t count, capture::RecorderState& state,
                                       DeviceCheckState& check, capture::CaptureContext& context,
                                       platform::InputMixer& mixer, platform::SoundPanels& panels,
                                       DeviceCheckHooks& hooks) {
  if (count == 0) {
    capture::CloseCapture(state, context);
    mixer.Free();
    check.MixerFreed = true;
    state.SourceCaption.clear();
    hooks.User.Pump();
    Call(hooks.ClearMeters);
    return std::nullopt;
  }
  if (!ReadDeviceZero(state, context)) return std::nullopt;
  if (check.MixerFreed) SetUpMixer(check, mixer);
  state.SourceCaption = state.DeviceName;
  const std::optional<int> level = ReadLevel(mixer, 0);
  if (!state.DeviceOpen) OpenCaptureOnSource(state, check, context, mixer, hooks);

  // Asked on every tick so that a panel the user has closed is reaped at once.
  const bool panelOpen = panels.IsOpen();
  const bool changed =
      !state.PreviousDeviceName.empty() && state.PreviousDeviceName != state.DeviceName;
  if (!changed) {
    check.RestartDeferred = false;
  } else if (state.Recording || (hooks.Busy && hooks.Busy())) {
    // A restart now would lose the take, the save or the edit.
    check.RestartDeferred = true;
  } else if (!check.Source.Chosen.empty()) {
    // The default only stands in for a chosen source: no restart for it.
    SetUpInPlace(state, check, context, mixer, hooks);
  } else if (panelOpen) {
    check.RestartDeferred = false;
  } else if (hooks.TakeUnsaved && hooks.TakeUnsaved()) {
    SetUpInPlace(state, check, context, mixer, hooks);
  } else {
    RestartProgram(state, check, hooks);
  }
  return level;
}

// The device is followed in place: a new device 0 is set up again once no take
// is running. Returns the level of the selected input when it could be read.
std::optional<int> FollowDeviceInPlace(std::uint32_t count, capture::RecorderState& state,
                                       DeviceCheckState& check, capture::CaptureContext& context,
                                       platform::InputMixer& mixer, DeviceCheckHooks& hooks) {
  if (count == 0) return std::nullopt;
  check.SelectedInput = FindSelectedInput(mixer);
  const std::optional<int> level = ReadLevel(mixer, check.SelectedInput);
  ReadDeviceZero(state, context);
  if (state.PreviousDeviceName != state.DeviceName && !state.Recording) {
    state.PreviousDeviceName = state.DeviceName;
    capture::CloseCapture(state, context);
    mixer.Free();
    hooks.User.Pump();
    Call(hooks.ClearMeters);
    OpenCaptureReportingOnce(state, check, context);
    // The list is refreshed first: it was filled at start-up, and the device
    // may be new or the ids may have moved since.
    const std::uint32_t devices = capture::EnumerateDevices(state, context);
    const int device = std::max(FindDeviceIndex(state, state.PreviousDeviceName, devices), 0);
    mixer.SetDevice(device);
    mixer.Init(device);
  }
  state.SourceCaption =
      mixer.GetInputName(check.SelectedInput).value_or("") + " (" + state.DeviceName + ")";
  return level;
}

}  // namespace

float VolumePerPixel(int knobWidth) {
  const int travel = kVolumeSliderRightEdge - knobWidth - kVolumeSliderMinLeft + 1;
  return 100.0f / static_cast<float>(std::max(travel, 1));
}

int KnobLeftForLevel(int level, int knobWidth) {
  const double pixels = level / static_cast<double>(VolumePerPixel(knobWidth));
  return ClampKnobLeft(std::int64_t{base::RoundHalfEven(pixels)} + kVolumeSliderMinLeft, knobWidth);
}

int LevelForKnobLeft(int knobLeft, int knobWidth) {
  return base::RoundHalfEven((knobLeft - kVolumeSliderMinLeft) *
                             static_cast<double>(VolumePerPixel(knobWidth)));
}

int FindDeviceIndex(const capture::RecorderState& state, const std::string& name,
                    std::uint32_t count) {
  const std::uint32_t limit = std::min<std::uint32_t>(count, capture::kDeviceNameSlots);
  int found = -1;
  for (std::uint32_t id = 0; id < limit; ++id) {
    if (state.DeviceNames[id] == name) found = static_cast<int>(id);
  }
  return found;
}

void InitInputMixer(capture::RecorderState& state, DeviceCheckState& check,
                    capture::CaptureContext& context, platform::InputMixer& mixer,
                    DeviceCheckHooks& hooks) {
  if (!ReadDeviceZero(state, context)) return;
  state.PreviousDeviceName = state.DeviceName;
  OpenCaptureOnSource(state, check, context, mixer, hooks);
  SetUpMixer(check, mixer);
  capture::EnumerateDevices(state, context);
}

std::string DeviceLostMessage(const std::string& reason, const std::string& timeRecorded) {
  return "The recording stopped: the sound device or the sound server is no longer available (" +
         reason + ").\nEverything recorded until then is kept (" + timeRecorded + ").";
}

void CheckDevice(capture::RecorderState& state, DeviceCheckState& check,
                 capture::CaptureContext& context, platform::InputMixer& mixer,
                 platform::SoundPanels& panels, DeviceCheckHooks& hooks) {
  const std::uint32_t count = context.Device.GetNumDevs();
  EndBrokenCapture(state, context, hooks);
  if (context.Device.ListError() != platform::kMmNoError) {
    // Not "no devices": the server cannot be asked now. Everything stays as
    // it is, and the next tick that reaches it carries on.
    state.SourceCaption = kServerUnavailableCaption;
    if (hooks.ShowSourceCaption) hooks.ShowSourceCaption(state.SourceCaption);
    return;
  }
  if (count > 0) FollowChosenSource(state, check, context, mixer, hooks);
  if (count > 0 && state.PreviousDeviceName.empty() && state.DeviceName.empty()) {
    InitInputMixer(state, check, context, mixer, hooks);
  }
  const std::optional<int> level =
      state.NewWindows ? FollowDefaultDevice(count, state, check, context, mixer, panels, hooks)
                       : FollowDeviceInPlace(count, state, check, context, mixer, hooks);
  if (level) check.KnobLeft = KnobLeftForLevel(*level);
  if (!check.SecondCaption.empty() && !state.SourceCaption.empty())
    state.SourceCaption += " + " + check.SecondCaption;
  if (hooks.ShowSourceCaption) hooks.ShowSourceCaption(state.SourceCaption);
}

void VolumeMouseDown(DeviceCheckState& check, bool leftButton, int x) {
  check.VolumeDragging = leftButton;
  if (leftButton) check.VolumeDragStartX = x;
}

bool VolumeMouseMove(DeviceCheckState& check, platform::InputMixer& mixer, int x) {
  if (!check.VolumeDragging) return false;
  const int before = check.KnobLeft;
  check.KnobLeft =
      ClampKnobLeft(std::int64_t{check.KnobLeft} + x - check.VolumeDragStartX, kKnobWidth);
  const int level = LevelForKnobLeft(check.KnobLeft);
  mixer.SetInput(check.SelectedInput, kInputLevel | static_cast<std::uint32_t>(level));
  return check.KnobLeft != before;
}

void VolumeMouseUp(DeviceCheckState& check) {
  check.VolumeDragging = false;
}

bool VolumeStep(DeviceCheckState& check, platform::InputMixer& mixer, int pixels) {
  const int before = check.KnobLeft;
  check.KnobLeft = ClampKnobLeft(std::int64_t{check.KnobLeft} + pixels, kKnobWidth);
  if (check.KnobLeft == before) return false;
  mixer.SetInput(check.SelectedInput,
                 kInputLevel | static_cast<std::uint32_t>(LevelForKnobLeft(check.KnobLeft)));
  return true;
}

bool InVolumeHintArea(int x, int y) {
  return x >= kVolumeSliderMinLeft && x <= kVolumeSliderRightEdge && y >= 79 && y <= 95;
}

}  // namespace tavrin::recorder_ui
