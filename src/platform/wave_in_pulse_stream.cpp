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

void MarkDone(WaveHeader& header, std::uint32_t bytesRecorded) {
  header.BytesRecorded.store(bytesRecorded, std::memory_order_release);
  MarkHeaderDone(header);
}

}  // namespace

void PulseWaveIn::Impl::OnStreamState(pa_stream*, void* userdata) {
  static_cast<Impl*>(userdata)->Connection->Signal();
}

void PulseWaveIn::Impl::OnRead(pa_stream* stream, std::size_t, void* userdata) {
  auto* self = static_cast<Impl*>(userdata);
  for (;;) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
      return;
    }
    if (self->Started) {
      if (data == nullptr) {
        self->DroppedBytes.fetch_add(bytes, std::memory_order_relaxed);
      } else {
        self->Deliver(static_cast<const char*>(data), bytes);
      }
    }
    pa_stream_drop(stream);
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

void PulseWaveIn::Impl::ResetLocked() {
  Started = false;
  if (Stream != nullptr && pa_stream_get_state(Stream) == PA_STREAM_READY) {
    Connection->Complete(pa_stream_cork(Stream, 1, nullptr, nullptr));
    Connection->Complete(pa_stream_flush(Stream, nullptr, nullptr));
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
  pa_stream_set_read_callback(Stream, nullptr, nullptr);
  pa_stream_set_state_callback(Stream, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(Stream))) {
    pa_stream_disconnect(Stream);
  }
  pa_stream_unref(Stream);
  Stream = nullptr;
  Connection->RemoveStream();
}

MmResult PulseWaveIn::Impl::StreamError() const {
  return Connection->LastError();
}

}  // namespace tavrin::platform
