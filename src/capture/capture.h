#pragma once
// Wave-input capture: the device runs for as long as the recorder window is up
// and is polled every 100 ms. Each poll processes the newest complete buffer for
// the meters; every complete half of the 40-buffer ring goes to the raw take
// (while recording) and back to the device.

#include <cstdint>
#include <span>
#include <string>

#include "base/user_channel.h"
#include "capture/recorder_state.h"
#include "platform/wave_in.h"

namespace tavrin::capture {

// What the recorder window draws while capture runs. Every hook defaults to
// nothing so engines and tests run without a window.
class CaptureObserver {
public:
  virtual ~CaptureObserver() = default;
  virtual void PushLevelHistory() {}
  virtual void DrawTimeBarColumn() {}
  virtual void DrawLevelMeter() {}
  virtual void DrawDcMeter() {}
  virtual void DrawLevelChart() {}
  // The device dropped audio during the take; `totalFrames` so far.
  virtual void FramesLost(std::uint64_t totalFrames) { (void)totalFrames; }
  // A take ended on its own (a write to the raw take failed).
  virtual void TakeEnded() {}
  // While `TapBuffers` is set and no take records: every complete buffer once,
  // in the order captured (the sound trigger listens here).
  virtual void BufferCaptured(std::span<const std::uint8_t> buffer) { (void)buffer; }
  // The device was opened again: what comes next does not follow what came before.
  virtual void CaptureRestarted() {}
};

// Keeps the device step from opening the capture for as long as it lives.
class CaptureHold {
public:
  explicit CaptureHold(RecorderState& state) : m_state(state) { ++m_state.CaptureHolds; }
  ~CaptureHold() { --m_state.CaptureHolds; }
  CaptureHold(const CaptureHold&) = delete;
  CaptureHold& operator=(const CaptureHold&) = delete;

private:
  RecorderState& m_state;
};

// The engine's ties to the outside: the device, and the user.
struct CaptureContext {
  platform::WaveIn& Device;
  base::UserChannel User;
  CaptureObserver* Observer = nullptr;
};

// Reads the capability record and name of every wave-input device. Records
// beyond the tables' sizes are not stored. Returns the device count.
std::uint32_t EnumerateDevices(RecorderState& state, CaptureContext& context);

// Opens device 0 and starts it with the 40 buffers numbered 1..40. Returns
// true when the device is open (also when it already was).
bool OpenCapture(RecorderState& state, CaptureContext& context);
void PollCapture(RecorderState& state, CaptureContext& context);
// Writes the complete buffers still in the ring (while recording), stops and
// closes the device. A take that was recording ends here with its length set.
void CloseCapture(RecorderState& state, CaptureContext& context);

// Record: a new empty raw take, the device reopened, `Recording` set. Returns
// false, with the reason shown, when no take could be started.
bool StartTake(RecorderState& state, CaptureContext& context);
// Stop: the take is flushed and closed and the device reopened for the meters.
void StopTake(RecorderState& state, CaptureContext& context);

// Hands the monitored buffers on from now (see CaptureObserver::BufferCaptured),
// from the oldest the ring still holds.
void StartBufferTap(RecorderState& state);

// Text shown when the device lacks 44.1 kHz 16-bit stereo.
std::string RefusedDeviceMessage(const std::string& deviceName);

}  // namespace tavrin::capture
