#pragma once
// The recorder's process-wide record: capture format, capture buffers and
// their counters, recording and loop flags, the signal values the meters show,
// the per-buffer peak tables, device names and work-file paths.
// One instance lives for the whole process; engines take it by reference so a
// test can build its own. User-interface thread only: the device is polled.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/file.h"
#include "document/take.h"
#include "platform/wave_in.h"

namespace tavrin::capture {

using document::kBufferBytes;
using document::kBytesPerSecond;
using document::kFramesPerBuffer;
using document::kPeakTableEntries;
using document::kSampleRate;
using document::kTenHoursBuffers;
inline constexpr std::int32_t kBuffersPerHalf = 20;
inline constexpr std::int32_t kRingBuffers = 40;
inline constexpr std::int32_t kHalfRingBytes = kBufferBytes * kBuffersPerHalf;
inline constexpr std::int32_t kCaptureMemoryBytes = kBufferBytes * kRingBuffers;
inline constexpr std::size_t kDeviceCapsSlots = 11;
inline constexpr std::size_t kDeviceNameSlots = 101;
inline constexpr std::int32_t kDcHistorySlots = 50;

struct RecorderState {
  // Memory blocks, sized by AllocateCaptureMemory().
  std::vector<std::uint8_t> CaptureMemory;
  std::vector<std::uint8_t> TransferMemory;
  std::vector<std::int16_t> LeftSamples;
  std::vector<std::int16_t> RightSamples;

  // Capture bookkeeping. A header's user word is its buffer number (its
  // 1-based position in the raw take) until a poll processes it, then 0.
  std::array<platform::WaveHeader, kRingBuffers> WaveHeaders;
  // Number each ring buffer was queued with; unlike the user word it survives
  // processing, so a wrap can move an already processed buffer's peaks.
  std::array<std::uint32_t, kRingBuffers> BufferNumbers{};
  std::array<std::int32_t, kRingBuffers> BufferDone{};
  std::int32_t CurrentBuffer = -1;
  std::uint32_t BufferSequence = 0;
  std::uint32_t RecordedBuffers = 0;
  std::int32_t HalvesWritten = 0;
  // The take: its file, length, own order and peaks.
  document::Take Take;
  bool DeviceOpen = false;
  bool Recording = false;
  // Frames the device had to drop during the current take (no buffer was
  // free because polls came too late), and the device's count last seen.
  std::uint64_t LostFrames = 0;
  std::uint64_t DeviceDroppedSeen = 0;
  // The buffer stream handed to the observer while monitoring (see
  // CaptureObserver::BufferCaptured): on while set; the next number handed.
  bool TapBuffers = false;
  std::uint32_t TapNext = 1;
  // A take filled buffer by buffer from outside the ring (sound-activated):
  // open while set, with this many buffers appended since it began.
  bool AppendingTake = false;
  std::uint32_t AppendedBuffers = 0;
  // Steps that closed the capture on purpose (the editor is open, a take
  // stops) and open it again themselves; until then the device step leaves it closed.
  std::int32_t CaptureHolds = 0;

  // Loop mode.
  bool LoopMode = false;
  std::int32_t LoopMinutes = 0;
  std::int32_t LoopHalves = 0;
  bool LoopWrapped = false;
  std::int32_t TimeScaleMinutes = 3;

  // Signal values of the buffer last processed.
  std::int16_t MaxLeft = 0;
  std::int16_t MinLeft = 0;
  std::int16_t MaxRight = 0;
  std::int16_t MinRight = 0;
  double MeanLeft = 0.0;
  double MeanRight = 0.0;
  std::int32_t ClipHoldLeft = 0;
  std::int32_t ClipHoldRight = 0;
  std::int32_t DcOffsetLeft = 0;
  std::int32_t DcOffsetRight = 0;
  std::array<std::int32_t, kDcHistorySlots + 1> DcHistoryLeft{};  // slots 1..50
  std::array<std::int32_t, kDcHistorySlots + 1> DcHistoryRight{};
  std::int32_t DcHistorySlot = 0;
  double DcMeterLeft = 0.0;
  double DcMeterRight = 0.0;

  // Devices.
  std::array<platform::WaveInCaps, kDeviceCapsSlots> DeviceCaps{};
  std::array<std::string, kDeviceNameSlots> DeviceNames;
  std::string DeviceName;
  std::string PreviousDeviceName;
  std::string SourceCaption;

  // Window state.
  bool Minimized = false;
  bool NewWindows = true;
  bool SaveRequested = false;

  // Paths and texts.
  std::string WorkFolder;
  std::string EditPath;
  std::string ClipPath;
  std::string PeaksPath;
  // The take's peaks, written beside it as each half reaches the disk
  // (Tavrin.raw.spv), so that a take that outlives the program keeps them.
  std::string TakePeaksPath;
  // Held locked while the program runs (Tavrin.run); see run_marker.h.
  std::string MarkerPath;
  std::string OutputFolder;
  std::string ProgramDrive;
  std::string TimeText = "00:00:00";
  std::int64_t FreeSeconds = 0;

  base::File TakePeaksStream;
  base::File Marker;

  // Sizes every memory block once; called at start-up.
  void AllocateCaptureMemory();
};

// hh:mm:ss.t for a count of buffers (tenths of a second); the hours wrap at 100.
std::string PositionText(std::uint32_t buffers);

}  // namespace tavrin::capture
