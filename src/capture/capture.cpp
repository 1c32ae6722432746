#include "capture/capture.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "capture/raw_take.h"
#include "capture/run_marker.h"
#include "capture/signal_processing.h"

namespace tavrin::capture {

namespace {

bool IsFull(const platform::WaveHeader& header) {
  return header.BytesRecorded.load(std::memory_order_acquire) ==
         static_cast<std::uint32_t>(kBufferBytes);
}

// Complete halves, oldest first. After a late poll both halves can be complete
// and the second half of the ring may hold the older audio.
std::vector<int> CompleteHalvesOldestFirst(const RecorderState& state) {
  std::vector<int> halves;
  for (int half = 0; half < 2; ++half) {
    int done = 0;
    for (int i = half * kBuffersPerHalf; i < (half + 1) * kBuffersPerHalf; ++i) {
      done += state.BufferDone[i];
    }
    if (done == kBuffersPerHalf) halves.push_back(half);
  }
  if (halves.size() == 2 && state.BufferNumbers[kBuffersPerHalf] < state.BufferNumbers[0]) {
    std::swap(halves[0], halves[1]);
  }
  return halves;
}

void MarkDone(RecorderState& state) {
  for (int i = 0; i < kRingBuffers; ++i) state.BufferDone[i] = IsFull(state.WaveHeaders[i]) ? 1 : 0;
}

// Hands the complete buffers the observer has not had yet, in their order.
// Only while monitoring: a take in loop mode numbers its buffers again.
void TapCompleteBuffers(RecorderState& state, CaptureContext& context) {
  if (!state.TapBuffers || state.Recording || !context.Observer) return;
  for (bool found = true; found;) {
    found = false;
    for (int i = 0; i < kRingBuffers; ++i) {
      if (state.BufferDone[i] != 1 || state.BufferNumbers[i] != state.TapNext) continue;
      ++state.TapNext;
      found = true;
      context.Observer->BufferCaptured(std::span<const std::uint8_t>(
          state.CaptureMemory.data() + static_cast<std::size_t>(i) * kBufferBytes, kBufferBytes));
    }
  }
}

void NoteDroppedFrames(RecorderState& state, CaptureContext& context) {
  const std::uint64_t dropped = context.Device.DroppedFrames();
  if (dropped <= state.DeviceDroppedSeen) return;
  const std::uint64_t fresh = dropped - state.DeviceDroppedSeen;
  state.DeviceDroppedSeen = dropped;
  if (!state.Recording) return;
  state.LostFrames += fresh;
  if (context.Observer) context.Observer->FramesLost(state.LostFrames);
}

// After Reset: every header back from the device, the device closed. Their
// results are not acted on: the device is given up either way.
void ReleaseDevice(RecorderState& state, CaptureContext& context) {
  for (platform::WaveHeader& header : state.WaveHeaders) {
    static_cast<void>(context.Device.UnprepareHeader(header));
  }
  static_cast<void>(context.Device.Close());
  state.DeviceOpen = false;
}

// The device refused a buffer of the ring or to run on: a take ends as at Stop,
// with every complete buffer kept, and the user is told. The device check opens
// the device again for the meters.
void DeviceFailed(RecorderState& state, CaptureContext& context, platform::MmResult result) {
  const bool wasRecording = state.Recording;
  CloseCapture(state, context);
  if (!wasRecording) return;
  context.User.Show("Recording stopped: the recording device failed (" +
                    context.Device.GetErrorText(result) +
                    ").\nEverything recorded until then is kept.");
  if (context.Observer) context.Observer->TakeEnded();
}

}  // namespace

std::string RefusedDeviceMessage(const std::string& deviceName) {
  return "The audio recording device:\n" + deviceName +
         "\ncan not be used!\nPlease install another device.";
}

std::uint32_t EnumerateDevices(RecorderState& state, CaptureContext& context) {
  const std::uint32_t count = context.Device.GetNumDevs();
  for (std::uint32_t id = 0; id < kDeviceNameSlots || id < kDeviceCapsSlots; ++id) {
    platform::WaveInCaps caps{};
    const bool present = id < count && context.Device.GetDevCaps(id, caps) == platform::kMmNoError;
    if (!present) caps = platform::WaveInCaps{};
    if (id < kDeviceCapsSlots) state.DeviceCaps[id] = caps;
    if (id < kDeviceNameSlots) state.DeviceNames[id] = caps.Name;
  }
  return count;
}

bool OpenCapture(RecorderState& state, CaptureContext& context) {
  if (state.DeviceOpen) return true;
  if (state.DeviceCaps[0].Formats < platform::kWaveFormat4S16) {
    context.User.Show(RefusedDeviceMessage(state.DeviceName));
    return false;
  }
  state.BufferSequence = 0;
  state.Take.LastBufferIndex = 0;
  state.HalvesWritten = 0;
  if (state.Take.TakeLength == 0) state.Take.TakeLength = 1;

  const platform::WaveFormat format{};
  const platform::MmResult result = context.Device.Open(0, format);
  if (result != platform::kMmNoError) {
    context.User.Show(context.Device.GetErrorText(result));
    return false;
  }
  state.DeviceOpen = true;
  state.DeviceDroppedSeen = context.Device.DroppedFrames();
  state.TapNext = 1;
  if (state.TapBuffers && context.Observer) context.Observer->CaptureRestarted();
  platform::MmResult queued = platform::kMmNoError;
  for (int i = 0; i < kRingBuffers && queued == platform::kMmNoError; ++i) {
    platform::WaveHeader& header = state.WaveHeaders[i];
    const std::uint32_t number = ++state.BufferSequence;
    header.Data = reinterpret_cast<char*>(state.CaptureMemory.data()) +
                  static_cast<std::size_t>(i) * kBufferBytes;
    header.BufferLength = kBufferBytes;
    header.BytesRecorded.store(0, std::memory_order_relaxed);
    header.User = number;
    header.Flags = 0;
    state.BufferNumbers[i] = number;
    queued = context.Device.PrepareHeader(header);
    if (queued == platform::kMmNoError) queued = context.Device.AddBuffer(header);
  }
  if (queued == platform::kMmNoError) queued = context.Device.Start();
  if (queued != platform::kMmNoError) {
    // A ring with a gap would fill its buffers out of order: no capture rather than that.
    static_cast<void>(context.Device.Reset());
    ReleaseDevice(state, context);
    context.User.Show(context.Device.GetErrorText(queued));
    return false;
  }
  platform::WaveInCaps caps{};
  if (context.Device.GetDevCaps(0, caps) == platform::kMmNoError) state.DeviceCaps[0] = caps;
  return true;
}

void PollCapture(RecorderState& state, CaptureContext& context) {
  if (!state.DeviceOpen) return;
  context.Device.Pump();
  state.CurrentBuffer = -1;
  MarkDone(state);
  TapCompleteBuffers(state, context);
  for (int i = 0; i < kRingBuffers; ++i) {
    const std::uintptr_t number = state.WaveHeaders[i].User;
    if (state.BufferDone[i] == 1 && number > state.Take.LastBufferIndex) {
      state.Take.LastBufferIndex = static_cast<std::uint32_t>(number);
      state.CurrentBuffer = i;
    }
  }
  if (state.CurrentBuffer >= 0) {
    SplitBuffer(state);
    StoreBufferPeaks(state);
    ComputeChannelMeans(state);
    if (state.Recording) {
      state.RecordedBuffers = state.Take.LastBufferIndex;
      if (context.Observer) {
        context.Observer->PushLevelHistory();
        context.Observer->DrawTimeBarColumn();
      }
    }
    state.WaveHeaders[state.CurrentBuffer].User = 0;
    if (!state.Minimized && context.Observer) {
      context.Observer->DrawLevelMeter();
      context.Observer->DrawDcMeter();
      if (state.Recording) context.Observer->DrawLevelChart();
    }
  }
  NoteDroppedFrames(state, context);
  for (int half : CompleteHalvesOldestFirst(state)) {
    const platform::MmResult result = WriteHalfRing(state, context, half);
    if (result != platform::kMmNoError) {
      DeviceFailed(state, context, result);
      return;
    }
  }
}

void CloseCapture(RecorderState& state, CaptureContext& context) {
  if (!state.DeviceOpen) return;
  // Stop the device first so that nothing completes while the ring is flushed.
  context.Device.Reset();
  NoteDroppedFrames(state, context);
  MarkDone(state);
  TapCompleteBuffers(state, context);
  const bool wasRecording = state.Recording;
  std::array<bool, kRingBuffers> written{};
  for (int half : CompleteHalvesOldestFirst(state)) {
    const int first = half * kBuffersPerHalf;
    for (int i = first; i < first + kBuffersPerHalf; ++i) {
      state.Take.LastBufferIndex = std::max(state.Take.LastBufferIndex, state.BufferNumbers[i]);
      written[i] = true;
    }
    // May wrap a loop take, which renumbers the other half from 1.
    WriteHalfToTake(state, context, half);
  }
  // The half being filled: its complete buffers come first in ring order.
  for (int i = 0; i < kRingBuffers; ++i) {
    if (!written[i] && state.BufferDone[i] == 1) WriteBufferToTake(state, context, i);
  }
  ReleaseDevice(state, context);
  const bool takeEndedHere = wasRecording && state.Recording;
  state.Recording = false;
  if (takeEndedHere) FinishTake(state, state.Take.LastBufferIndex);
}

bool StartTake(RecorderState& state, CaptureContext& context) {
  if (state.Recording || state.AppendingTake) return false;
  if (state.DeviceName.empty()) {
    context.User.Show("No Audio Device Selected");
    return false;
  }
  state.Take.RawStream.Close();
  CloseCapture(state, context);
  if (const int error = NewTakeFile(state); error != 0) {
    context.User.Show(std::string(std::strerror(error)));
    OpenCapture(state, context);
    return false;
  }
  if (!OpenCapture(state, context)) return false;
  state.Recording = true;
  return true;
}

void StartBufferTap(RecorderState& state) {
  state.TapBuffers = true;
  // The ring holds the buffers numbered up to BufferSequence, 40 of them.
  state.TapNext = state.BufferSequence > static_cast<std::uint32_t>(kRingBuffers)
                      ? state.BufferSequence - kRingBuffers + 1
                      : 1;
}

void StopTake(RecorderState& state, CaptureContext& context) {
  if (!state.Recording) return;
  CloseCapture(state, context);
  context.User.Pump();
  OpenCapture(state, context);
}

}  // namespace tavrin::capture
