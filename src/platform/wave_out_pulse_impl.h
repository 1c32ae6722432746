#pragma once
// Private to the PulseAudio wave-out backend (wave_out_pulse*.cpp): the state
// behind PulseWaveOut. Nothing else includes it.

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

#include "platform/pulse_connection.h"
#include "platform/wave_out_pulse.h"

namespace tavrin::platform {

// Opening and stopping playback and its volume are the user's own actions,
// worth a longer wait than the recorder's periodic checks get.
inline constexpr pa_usec_t kPlayWaitUsec = PA_USEC_PER_SEC;

struct PulseWaveOut::Impl {
  explicit Impl(std::shared_ptr<PulseConnection> connection) : Connection(std::move(connection)) {}

  std::shared_ptr<PulseConnection> Connection;

  // Everything below is guarded by the main loop's lock: the owner takes it,
  // and the callbacks run with it held.
  pa_stream* Stream = nullptr;
  pa_time_event* DoneTimer = nullptr;
  bool DoneTimerArmed = false;
  bool TimingRequested = false;
  pa_operation* TimingOperation = nullptr;  // the last request, let go at the next or at Close

  struct Queued {
    WaveHeader* Header;
    std::int64_t EndIndex;  // stream byte index just past the header's last byte
  };
  std::deque<Queued> Queue;
  // Stream byte index where the next write lands.
  std::int64_t WriteIndex = 0;
  // WriteIndex when the server last reported running dry; -1 after Reset.
  std::int64_t DryAtIndex = -1;

  std::atomic<std::uint64_t> UnderrunCount{0};

  // ---- main-loop thread ----

  static void OnUnderflow(pa_stream*, void* userdata);
  static void OnTimingUpdate(pa_stream*, int success, void* userdata);
  static void OnDoneTimer(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata);

  // Marks done every queued header whose last byte has been heard.
  void MarkPlayed();
  // Asks the server for fresh timing unless a request is on its way.
  void RequestTiming();

  // ---- owner thread, lock held ----

  void ArmDoneTimer();
  // Drops what is queued on the server and hands every header back.
  void ResetLocked();
  void CloseLocked();
  bool IsReady() const {
    return Stream != nullptr && pa_stream_get_state(Stream) == PA_STREAM_READY;
  }
};

}  // namespace tavrin::platform
