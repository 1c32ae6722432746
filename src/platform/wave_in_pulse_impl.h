#pragma once
// Private to the PulseAudio wave-in backend (wave_in_pulse*.cpp): the state
// behind PulseWaveIn and the helpers its files share. Nothing else includes it.

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/wave_in_pulse.h"

namespace tavrin::platform {

// Longest wait for the server on the owner's thread, in microseconds.
inline constexpr pa_usec_t kServerTimeoutUsec = 5 * PA_USEC_PER_SEC;

struct Source {
  std::string Name;
  std::string Description;
  std::uint32_t Channels = 0;
};

inline MmResult BackendError(int paError) {
  return kMmBackendBase + static_cast<MmResult>(paError > 0 ? paError : PA_ERR_UNKNOWN);
}

struct PulseWaveIn::Impl {
  explicit Impl(std::string applicationName) : ApplicationName(std::move(applicationName)) {}

  std::string ApplicationName;
  pa_threaded_mainloop* Mainloop = nullptr;
  // The context and the stream are used on the owner's thread only with the
  // mainloop lock held; their callbacks run on the mainloop thread.
  pa_context* Context = nullptr;
  pa_stream* Stream = nullptr;

  // The sources of the last enumeration, device 0 first.
  std::vector<Source> Devices;
  bool Enumerated = false;

  // Guarded by the mainloop lock: false while nothing should be recorded, so
  // audio still in flight after Reset is discarded instead of counted.
  bool Started = false;

  // Shared by the owner (AddBuffer, Reset) and the read callback.
  std::mutex QueueMutex;
  std::deque<WaveHeader*> Queue;
  std::uint32_t FrontFilled = 0;  // bytes already in Queue.front()

  // Bytes, not frames, so that a hole or a chunk ending mid-frame adds up right.
  std::atomic<std::uint64_t> DroppedBytes{0};

  // ---- mainloop-thread callbacks ----

  static void OnContextState(pa_context*, void* userdata);
  static void OnStreamState(pa_stream*, void* userdata);
  static void OnOperationState(pa_operation*, void* userdata);

  struct Timeout {
    pa_threaded_mainloop* Mainloop;
    bool Expired = false;  // guarded by the mainloop lock
  };

  static void OnTimeout(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata);
  static void OnRead(pa_stream* stream, std::size_t, void* userdata);

  // Mainloop thread: copies captured bytes into the queued headers in order.
  void Deliver(const char* data, std::size_t bytes);

  // ---- owner thread, mainloop lock held ----

  // Waits for the mainloop callbacks until done() holds or the server has taken
  // too long; returns done(). Needs Context.
  template <typename Done>
  bool WaitFor(Done done);

  // Runs an operation to its end; false if it failed, was cancelled or timed out.
  bool Complete(pa_operation* operation);

  void DropContext();
  MmResult ConnectLocked();

  // Stops the flow and hands back every queued header with what it holds.
  void ResetLocked();
  void CloseLocked();
  MmResult StreamError() const;

  // ---- owner thread, lock not held ----

  // Connects (or reconnects) the context.
  MmResult EnsureContext();
  // Rebuilds Devices from the server.
  void Enumerate();
};

template <typename Done>
bool PulseWaveIn::Impl::WaitFor(Done done) {
  if (done()) {
    return true;
  }
  Timeout timeout{Mainloop};
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Mainloop);
  pa_time_event* timer = pa_context_rttime_new(Context, pa_rtclock_now() + kServerTimeoutUsec,
                                               &Impl::OnTimeout, &timeout);
  while (!done() && !timeout.Expired) {
    pa_threaded_mainloop_wait(Mainloop);
  }
  if (timer != nullptr) {
    api->time_free(timer);
  }
  return done();
}

}  // namespace tavrin::platform
