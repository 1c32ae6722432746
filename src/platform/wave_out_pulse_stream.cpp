// PulseWaveOut's playback stream: judging from the server's timing which
// queued headers have been heard, underruns, and dropping the queue on Reset.

#include <pulse/pulseaudio.h>

#include <algorithm>

#include "platform/wave_out_pulse_impl.h"

namespace tavrin::platform {

namespace {

// How often queued headers are checked against the play position.
constexpr pa_usec_t kDoneCheckUsec = 25 * PA_USEC_PER_MSEC;
// Timing older than this is refreshed while audio is queued.
constexpr pa_usec_t kTimingMaxAgeUsec = 100 * PA_USEC_PER_MSEC;

std::int64_t UsecToBytes(pa_usec_t usec) {
  const auto frames = static_cast<std::int64_t>(usec * kFormatRate / PA_USEC_PER_SEC);
  return frames * kFormatBlockAlign;
}

}  // namespace

void PulseWaveOut::Impl::OnUnderflow(pa_stream*, void* userdata) {
  auto* self = static_cast<Impl*>(userdata);
  self->UnderrunCount.fetch_add(1, std::memory_order_relaxed);
  self->DryAtIndex = self->WriteIndex;
  // The server has read everything: fresh timing tells when the tail is heard.
  self->RequestTiming();
}

void PulseWaveOut::Impl::OnTimingUpdate(pa_stream*, int, void* userdata) {
  auto* self = static_cast<Impl*>(userdata);
  self->TimingRequested = false;
  self->MarkPlayed();
  self->Connection->Signal();
}

void PulseWaveOut::Impl::OnDoneTimer(pa_mainloop_api*, pa_time_event*, const timeval*,
                                     void* userdata) {
  auto* self = static_cast<Impl*>(userdata);
  self->DoneTimerArmed = false;
  self->MarkPlayed();
  if (!self->Queue.empty()) self->ArmDoneTimer();
}

void PulseWaveOut::Impl::RequestTiming() {
  if (TimingRequested || !IsReady()) return;
  PulseConnection::Cancel(TimingOperation);
  TimingOperation = pa_stream_update_timing_info(Stream, &Impl::OnTimingUpdate, this);
  TimingRequested = TimingOperation != nullptr;
}

void PulseWaveOut::Impl::MarkPlayed() {
  if (Queue.empty() || !IsReady()) return;
  const pa_timing_info* timing = pa_stream_get_timing_info(Stream);
  if (timing == nullptr || timing->read_index_corrupt) {
    RequestTiming();
    return;
  }
  const pa_usec_t age = pa_timeval_age(&timing->timestamp);
  std::int64_t read = timing->read_index;
  // A server stopped for want of data may hold back the last bytes until more
  // arrive: PipeWire's keeps what does not fill its next cycle. With nothing
  // written since it ran dry they are never heard, so they count as read.
  if (timing->playing == 0 && DryAtIndex == WriteIndex) read = std::max(read, WriteIndex);
  // What is heard now: the read position less what the sink still holds,
  // moved on by the time since. Without playing, the read position stands, and
  // no more than it can ever have been heard.
  std::int64_t heard = read - UsecToBytes(timing->sink_usec) + UsecToBytes(age);
  if (timing->playing == 0) heard = std::min(heard, read);
  while (!Queue.empty() && Queue.front().EndIndex <= heard) {
    MarkHeaderDone(*Queue.front().Header);
    Queue.pop_front();
  }
  if (!Queue.empty() && age > kTimingMaxAgeUsec) RequestTiming();
}

void PulseWaveOut::Impl::ArmDoneTimer() {
  if (DoneTimerArmed) return;
  const pa_usec_t when = pa_rtclock_now() + kDoneCheckUsec;
  if (DoneTimer == nullptr) {
    DoneTimer = pa_context_rttime_new(Connection->Context(), when, &Impl::OnDoneTimer, this);
  } else {
    pa_context_rttime_restart(Connection->Context(), DoneTimer, when);
  }
  DoneTimerArmed = DoneTimer != nullptr;
}

void PulseWaveOut::Impl::ResetLocked() {
  if (IsReady()) {
    // The write position after the flush is the server's; ask for it. If
    // either step fails the stream is broken, which DeviceError reports.
    if (Connection->Complete(pa_stream_flush(Stream, nullptr, nullptr), kPlayWaitUsec) &&
        Connection->Complete(pa_stream_update_timing_info(Stream, nullptr, nullptr),
                             kPlayWaitUsec)) {
      const pa_timing_info* timing = pa_stream_get_timing_info(Stream);
      if (timing != nullptr && timing->write_index_corrupt == 0) {
        WriteIndex = timing->write_index;
      }
    }
  }
  for (const Queued& queued : Queue) MarkHeaderDone(*queued.Header);
  Queue.clear();
  DryAtIndex = -1;
}

void PulseWaveOut::Impl::CloseLocked() {
  ResetLocked();
  if (DoneTimer != nullptr) {
    pa_threaded_mainloop_get_api(Connection->Mainloop())->time_free(DoneTimer);
    DoneTimer = nullptr;
    DoneTimerArmed = false;
  }
  pa_stream_set_state_callback(Stream, nullptr, nullptr);
  pa_stream_set_underflow_callback(Stream, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(Stream))) pa_stream_disconnect(Stream);
  pa_stream_unref(Stream);
  Stream = nullptr;
  // Its answer would reach this object after it is gone.
  PulseConnection::Cancel(TimingOperation);
  TimingRequested = false;
  Connection->RemoveStream();
}

}  // namespace tavrin::platform
