#pragma once
// Keeps the recorder in step with wave-input device 0: the first set-up of the
// device and its input mixer, reopening a closed capture, ending a take whose
// device or sound server went away, following a change of the default device
// (by restarting the program when that loses nothing, else in place), and the
// recording-volume slider turned into input levels and back. Talks to the device, the mixer and
// the desktop's panels through their interfaces only; the window supplies the
// hooks. User-interface thread only: the status timer's tick and mouse events.

#include <cstdint>
#include <functional>
#include <string>

#include "capture/capture.h"
#include "capture/recorder_state.h"
#include "platform/input_mixer.h"
#include "platform/sound_panels.h"
#include "recorder_ui/source_choice.h"

namespace tavrin::recorder_ui {

// Slider geometry in window pixels: the knob's left moves from 18 to
// 135 - knob width.
inline constexpr int kVolumeSliderMinLeft = 18;
inline constexpr int kVolumeSliderRightEdge = 135;
inline constexpr int kKnobWidth = 11;

inline constexpr const char* kRestartMessage =
    "You must restart the program for the changes to take effect.";
// The caption while the sound server cannot be asked for its devices.
inline constexpr const char* kServerUnavailableCaption = "Sound server not available";

// Told once when a take ends because its device or the sound server went away.
std::string DeviceLostMessage(const std::string& reason, const std::string& timeRecorded);

struct DeviceCheckState {
  std::int32_t SelectedInput = 0;
  bool VolumeDragging = false;
  std::int32_t VolumeDragStartX = 0;  // knob coordinates
  std::int32_t KnobLeft = kVolumeSliderMinLeft;
  // A change of the default device waits for the take to stop.
  bool RestartDeferred = false;
  // Device name whose open failure was already shown.
  std::string ReportedOpenFailure;
  // The mixer was freed when every device went away; set it up again when one is back.
  bool MixerFreed = false;
  // The source chosen in the program. While there is one, device 0 is that
  // source when it is listed, and a change of the system's default is
  // followed in place rather than by a restart.
  SourceChoice Source;
  // How the menu names a second source recorded with the first; empty: none.
  // The caption then names both: "Mic + What Speakers plays (monitor)".
  std::string SecondCaption;
};

// The window's side; any may be empty.
struct DeviceCheckHooks {
  std::function<void()> ClearMeters;  // the level meter and the DC meter
  std::function<void()> SaveSettings;
  base::UserChannel User;
  // Starts the executable again and ends this instance.
  std::function<void()> RestartProgram;
  // True while a save runs or the editor or a dialog is open: a device
  // change waits until it ends.
  std::function<bool()> Busy;
  // True while a restart would delete a take that was not saved: a new
  // device is then followed in place.
  std::function<bool()> TakeUnsaved;
  // Title "Tavrin Recorder - " + caption; status-bar panel 0 = caption.
  std::function<void(const std::string& caption)> ShowSourceCaption;
  // A passing word in the status bar.
  std::function<void(const std::string& text)> ShowStatus;
};

// Input level per pixel of knob travel: 100 / 107 for the 11-pixel knob.
float VolumePerPixel(int knobWidth = kKnobWidth);
// Knob left for an input level; rounds halves to even, clamped to 18..135 - knob width.
int KnobLeftForLevel(int level, int knobWidth = kKnobWidth);
int LevelForKnobLeft(int knobLeft, int knobWidth = kKnobWidth);

// Id of the last of the first `count` entries of DeviceNames equal to `name`
// (case-sensitive); -1 when none is.
int FindDeviceIndex(const capture::RecorderState& state, const std::string& name,
                    std::uint32_t count);

// First set-up of device 0: its name, the capture, the input mixer with the
// recording input switched on, and the device list.
void InitInputMixer(capture::RecorderState& state, DeviceCheckState& check,
                    capture::CaptureContext& context, platform::InputMixer& mixer,
                    DeviceCheckHooks& hooks);

// The status timer's device step.
void CheckDevice(capture::RecorderState& state, DeviceCheckState& check,
                 capture::CaptureContext& context, platform::InputMixer& mixer,
                 platform::SoundPanels& panels, DeviceCheckHooks& hooks);

// Slider mouse handling. x is in knob coordinates; Move returns true when the
// knob moved.
void VolumeMouseDown(DeviceCheckState& check, bool leftButton, int x);
bool VolumeMouseMove(DeviceCheckState& check, platform::InputMixer& mixer, int x);
void VolumeMouseUp(DeviceCheckState& check);
// The knob moved by `pixels` from the keyboard, stopping at its stops, and the
// level it then stands for set. True when it moved.
bool VolumeStep(DeviceCheckState& check, platform::InputMixer& mixer, int pixels);
// Frame coordinates: x 18..135, y 79..95, bounds included.
bool InVolumeHintArea(int x, int y);

}  // namespace tavrin::recorder_ui
