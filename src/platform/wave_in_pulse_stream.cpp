// PulseWaveIn's record stream: the read callback that fills queued headers on
// the mainloop thread, and stopping the flow (cork, flush) on Reset and Close.

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/wave_in_pulse_impl.h"

namespace tavrin::platform {

namespace {

constexpr WaveFormat kFormat{};
constexpr std::int64_t kFramesPerSecond = kFormat.SamplesPerSec;
// The smallest step of the clock ahead of the queue counted as dropped audio.
constexpr std::int64_t kDropStepFrames = kFramesPerSecond / 10;
// How long Reset waits for the fragment in flight: two fragments, for a busy
// machine. A server that hangs costs no more than this.
constexpr pa_usec_t kFragmentWaitUsec =
    PA_USEC_PER_SEC * kFragmentBytes * 2 / kFormat.AvgBytesPerSec;

void MarkDone(WaveHeader& header, std::uint32_t bytesRecorded) {
  header.BytesRecorded.store(bytesRecorded, std::memory_order_release);
  MarkHeaderDone(header);
}

}  // namespace

void PulseWaveIn::Impl::OnRead(pa_stream* stream, std::size_t, void* userdata) {
  auto* self = static_cast<Impl*>(userdata);
  for (;;) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
      return;
    }
    if (self->Started && !self->Flushing) {
      self->FramesSinceStart += bytes / kBytesPerFrame;
      if (data == nullptr) {
        self->DroppedBytes.fetch_add(bytes, std::memory_order_relaxed);
      } else {
        self->Deliver(static_cast<const char*>(data), bytes);
      }
    }
    pa_stream_drop(stream);
    if (self->AwaitingFragment) {
      self->AwaitingFragment = false;
      self->Connection->Signal();
    }
  }
}

void PulseWaveIn::Impl::Deliver(const char* data, std::size_t bytes) {
  std::lock_guard lock(QueueMutex);
  while (bytes > 0) {
    if (Queue.empty()) {
      DroppedBytes.fetch_add(bytes, std::memory_order_relaxed);
      return;
    }
    WaveHeader* header = Queue.front();
    const std::size_t room = header->BufferLength - FrontFilled;
    const std::size_t count = std::min(room, bytes);
    std::memcpy(header->Data + FrontFilled, data, count);
    FrontFilled += static_cast<std::uint32_t>(count);
    data += count;
    bytes -= count;
    if (FrontFilled == header->BufferLength) {
      Queue.pop_front();
      FrontFilled = 0;
      MarkDone(*header, header->BufferLength);
    }
  }
}

void PulseWaveIn::Impl::OnFlushed(pa_stream*, int, void* userdata) {
  static_cast<Impl*>(userdata)->Flushing = false;
}

void PulseWaveIn::Impl::OnTiming(pa_stream* stream, void* userdata) {
  auto* self = static_cast<Impl*>(userdata);
  const pa_timing_info* timing = pa_stream_get_timing_info(stream);
  if (!self->Started || self->Flushing || timing == nullptr || timing->write_index_corrupt) return;
  const pa_usec_t now = pa_rtclock_now();
  if (!timing->read_index_corrupt && self->FramesSinceStart > 0) self->NoteCaptureTime(*timing);
  // Everything the source has produced for this stream: what the server
  // queued, and what is still in the source.
  const std::int64_t queued =
      timing->write_index / kBytesPerFrame +
      static_cast<std::int64_t>(timing->source_usec * kFramesPerSecond / PA_USEC_PER_SEC);
  if (!self->ClockBaseSet) {
    self->ClockBaseSet = true;
    self->ClockBaseUsec = now;
    self->QueuedBaseFrames = queued;
    self->BehindFrames = 0;
    return;
  }
  const auto clock =
      static_cast<std::int64_t>((now - self->ClockBaseUsec) * kFramesPerSecond / PA_USEC_PER_SEC);
  const std::int64_t behind = clock - (queued - self->QueuedBaseFrames);
  // A sudden step is audio the server dropped; a slow creep is the source's
  // clock running apart from this machine's, and is only followed.
  if (behind - self->BehindFrames >= kDropStepFrames) {
    self->ServerDroppedFrames.fetch_add(static_cast<std::uint64_t>(behind - self->BehindFrames),
                                        std::memory_order_relaxed);
  }
  self->BehindFrames = behind;
}

void PulseWaveIn::Impl::NoteCaptureTime(const pa_timing_info& timing) {
  // The next frame to be read was captured before the newest one the server
  // holds by what lies between them; that one, the source's latency before
  // the update. Each update is off by where the server was in writing a
  // block; the middle of a second of them is kept (StartUsec).
  if (StartUsecs.size() >= kMostCaptureTimes) return;
  const std::int64_t waiting = (timing.write_index - timing.read_index) / kBytesPerFrame;
  const std::int64_t before = waiting + static_cast<std::int64_t>(FramesSinceStart);
  StartUsecs.push_back(static_cast<std::int64_t>(pa_timeval_load(&timing.timestamp)) -
                       static_cast<std::int64_t>(timing.source_usec) -
                       before * static_cast<std::int64_t>(PA_USEC_PER_SEC) / kFramesPerSecond);
  if (StartUsecs.size() == 1) FirstTimedFrame = FramesSinceStart;
}

void PulseWaveIn::Impl::AwaitFragmentLocked() {
  AwaitingFragment = true;
  // A fragment that does not come in time (a hung server) is dropped with the
  // rest of what the server still holds: the take ends with what arrived.
  static_cast<void>(Connection->WaitFor(
      [&] { return !AwaitingFragment || !PA_STREAM_IS_GOOD(pa_stream_get_state(Stream)); },
      kFragmentWaitUsec));
  AwaitingFragment = false;
}

void PulseWaveIn::Impl::ResetLocked() {
  auto ready = [&] { return Stream != nullptr && pa_stream_get_state(Stream) == PA_STREAM_READY; };
  // The audio up to now is still in the source or on its way: a Stop keeps it.
  if (Started && !Flushing && ready()) AwaitFragmentLocked();
  Started = false;
  if (ready()) {
    // What the server still holds belongs to the time before Reset: it is
    // dropped there, and on arrival until the server confirms.
    PulseConnection::Cancel(FlushOperation);
    FlushOperation = pa_stream_flush(Stream, &Impl::OnFlushed, this);
    Flushing = FlushOperation != nullptr;
    // Whatever already reached this side belongs to the time before Reset.
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_peek(Stream, &data, &bytes) >= 0 && bytes > 0) {
      pa_stream_drop(Stream);
    }
  }
  std::lock_guard lock(QueueMutex);
  std::uint32_t filled = FrontFilled;
  for (WaveHeader* header : Queue) {
    MarkDone(*header, filled);
    filled = 0;
  }
  Queue.clear();
  FrontFilled = 0;
}

void PulseWaveIn::Impl::CloseLocked() {
  ResetLocked();
  // Its answer would reach this object after it is gone.
  PulseConnection::Cancel(FlushOperation);
  Flushing = false;
  pa_stream_set_read_callback(Stream, nullptr, nullptr);
  pa_stream_set_state_callback(Stream, nullptr, nullptr);
  pa_stream_set_latency_update_callback(Stream, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(Stream))) {
    pa_stream_disconnect(Stream);
  }
  pa_stream_unref(Stream);
  Stream = nullptr;
  Connection->RemoveStream();
}

}  // namespace tavrin::platform
