#pragma once
// Private to the PulseAudio wave-in backend (wave_in_pulse*.cpp): the state
// behind PulseWaveIn and the helpers its files share. Nothing else includes it.

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/pulse_connection.h"
#include "platform/wave_in_pulse.h"

namespace tavrin::platform {

// The source hands its audio over a fragment at a time: 50 ms, half of a
// capture buffer, so the server and this process wake 20 times a second. What
// the source captured up to a Reset arrives with the next fragment, which
// Reset waits for.
inline constexpr std::uint32_t kFragmentBytes = WaveFormat{}.AvgBytesPerSec / 20;
inline constexpr std::uint32_t kBytesPerFrame = WaveFormat{}.BlockAlign;
// Timing updates kept for the capture time, and the fewest it is told from.
inline constexpr std::size_t kMostCaptureTimes = 64;
inline constexpr std::size_t kFewestCaptureTimes = 32;

struct PulseWaveIn::Impl {
  explicit Impl(std::shared_ptr<PulseConnection> connection) : Connection(std::move(connection)) {}

  std::shared_ptr<PulseConnection> Connection;
  // Used on the owner's thread only with the main loop's lock held; its
  // callbacks run on the main loop's thread.
  pa_stream* Stream = nullptr;

  // The sources of the last enumeration, device 0 first, and why it could not
  // ask the server (kMmNoError when it could).
  std::vector<PulseDevice> Devices;
  bool Enumerated = false;
  MmResult ListError = kMmNoError;

  // Guarded by the mainloop lock: false while nothing should be recorded, so
  // audio still in flight after Reset is discarded instead of counted; and
  // Flushing until the server has dropped what it held at Reset.
  bool Started = false;
  bool Flushing = false;
  pa_operation* FlushOperation = nullptr;  // the last flush, let go at the next or at Close
  // Set by Reset while it waits for the fragment holding the audio up to its
  // call; cleared by the read callback when that fragment has been delivered.
  bool AwaitingFragment = false;

  // Mainloop thread: the stream's clock against the audio the server queued
  // for it, since Start. A stall of this process longer than the server's
  // buffer makes the server drop audio; the queue then falls behind the clock.
  bool ClockBaseSet = false;
  pa_usec_t ClockBaseUsec = 0;
  std::int64_t QueuedBaseFrames = 0;
  std::int64_t BehindFrames = 0;  // how far the queue trails the clock, drift included
  // Mainloop lock: frames read since Start (lost ones too), and when the
  // source captured the first of them, by each timing update since the one
  // at FirstTimedFrame (see NoteCaptureTime).
  std::uint64_t FramesSinceStart = 0;
  std::vector<std::int64_t> StartUsecs;
  std::uint64_t FirstTimedFrame = 0;

  // Shared by the owner (AddBuffer, Reset) and the read callback.
  std::mutex QueueMutex;
  std::deque<WaveHeader*> Queue;
  std::uint32_t FrontFilled = 0;  // bytes already in Queue.front()

  // Bytes, not frames, so that a hole or a chunk ending mid-frame adds up right.
  std::atomic<std::uint64_t> DroppedBytes{0};
  // Frames the server dropped because this side read too late.
  std::atomic<std::uint64_t> ServerDroppedFrames{0};

  // ---- mainloop-thread callbacks ----

  static void OnRead(pa_stream* stream, std::size_t, void* userdata);
  static void OnFlushed(pa_stream*, int, void* userdata);
  static void OnTiming(pa_stream* stream, void* userdata);

  // Mainloop thread: refines the capture time anchor by a timing update.
  void NoteCaptureTime(const pa_timing_info& timing);
  // Mainloop thread: copies captured bytes into the queued headers in order.
  void Deliver(const char* data, std::size_t bytes);

  // ---- owner thread, mainloop lock held ----

  // Stops the flow and hands back every queued header with what it holds,
  // including the audio captured up to the call.
  void ResetLocked();
  void AwaitFragmentLocked();
  void CloseLocked();

  // ---- owner thread, lock not held ----

  // Rebuilds Devices from the server.
  void Enumerate();
};

}  // namespace tavrin::platform
