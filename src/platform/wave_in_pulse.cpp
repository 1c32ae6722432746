#include "platform/wave_in_pulse.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::platform {

namespace {

constexpr std::uint32_t kSampleRate = 44100;
constexpr std::uint8_t kChannels = 2;
constexpr std::uint32_t kBytesPerFrame = 4;
// About 20 ms: larger fragments arrive in bursts, and what is still in flight
// when the stream stops is lost.
constexpr std::uint32_t kFragmentBytes = 3528;
// Longest wait for the server on the owner's thread, in microseconds.
constexpr pa_usec_t kServerTimeoutUsec = 5 * PA_USEC_PER_SEC;

struct Source {
  std::string Name;
  std::string Description;
  std::uint32_t Channels = 0;
};

// Marks a queued header as handed back; one atomic step, so a reader that sees
// kWhdrDone also sees kWhdrInQueue cleared and, through the release, the data.
void MarkDone(WaveHeader& header, std::uint32_t bytesRecorded) {
  header.BytesRecorded.store(bytesRecorded, std::memory_order_release);
  std::uint32_t flags = header.Flags.load(std::memory_order_relaxed);
  while (!header.Flags.compare_exchange_weak(flags, (flags & ~kWhdrInQueue) | kWhdrDone,
                                             std::memory_order_acq_rel,
                                             std::memory_order_relaxed)) {
  }
}

bool IsSupportedFormat(const WaveFormat& format) {
  return format.FormatTag == kWaveFormatPcm && format.Channels == kChannels &&
         format.SamplesPerSec == kSampleRate && format.BitsPerSample == 16 &&
         format.BlockAlign == kBytesPerFrame &&
         format.AvgBytesPerSec == kSampleRate * kBytesPerFrame;
}

MmResult BackendError(int paError) {
  return kMmBackendBase + static_cast<MmResult>(paError > 0 ? paError : PA_ERR_UNKNOWN);
}

}  // namespace

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

  static void OnContextState(pa_context*, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<Impl*>(userdata)->Mainloop, 0);
  }

  static void OnStreamState(pa_stream*, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<Impl*>(userdata)->Mainloop, 0);
  }

  static void OnOperationState(pa_operation*, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
  }

  struct Timeout {
    pa_threaded_mainloop* Mainloop;
    bool Expired = false;  // guarded by the mainloop lock
  };

  static void OnTimeout(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
    auto* timeout = static_cast<Timeout*>(userdata);
    timeout->Expired = true;
    pa_threaded_mainloop_signal(timeout->Mainloop, 0);
  }

  static void OnRead(pa_stream* stream, std::size_t, void* userdata) {
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

  // Mainloop thread: copies captured bytes into the queued headers in order.
  void Deliver(const char* data, std::size_t bytes) {
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

  // ---- owner thread, mainloop lock held ----

  // Waits for the mainloop callbacks until done() holds or the server has taken
  // too long; returns done(). Needs Context.
  template <typename Done>
  bool WaitFor(Done done) {
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

  // Runs an operation to its end; false if it failed, was cancelled or timed out.
  bool Complete(pa_operation* operation) {
    if (operation == nullptr) {
      return false;
    }
    pa_operation_set_state_callback(operation, &Impl::OnOperationState, Mainloop);
    const bool finished =
        WaitFor([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
    if (!finished) {
      pa_operation_cancel(operation);
    }
    pa_operation_set_state_callback(operation, nullptr, nullptr);
    const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pa_operation_unref(operation);
    return done;
  }

  void DropContext() {
    if (Context != nullptr) {
      pa_context_set_state_callback(Context, nullptr, nullptr);
      pa_context_disconnect(Context);
      pa_context_unref(Context);
      Context = nullptr;
    }
  }

  // Owner thread, lock not held: connects (or reconnects) the context.
  MmResult EnsureContext() {
    if (Mainloop == nullptr) {
      Mainloop = pa_threaded_mainloop_new();
      if (Mainloop == nullptr) {
        return kMmNoMem;
      }
      pa_threaded_mainloop_set_name(Mainloop, "tavrin-pulse");
      if (pa_threaded_mainloop_start(Mainloop) < 0) {
        pa_threaded_mainloop_free(Mainloop);
        Mainloop = nullptr;
        return kMmError;
      }
    }
    pa_threaded_mainloop_lock(Mainloop);
    const MmResult result = ConnectLocked();
    pa_threaded_mainloop_unlock(Mainloop);
    return result;
  }

  MmResult ConnectLocked() {
    if (Context != nullptr) {
      const pa_context_state_t state = pa_context_get_state(Context);
      if (state == PA_CONTEXT_READY) {
        return kMmNoError;
      }
      if (PA_CONTEXT_IS_GOOD(state) || Stream != nullptr) {
        // Still connecting after an earlier timeout, or an open stream still
        // belongs to this context: report its error instead of replacing it.
        return BackendError(pa_context_errno(Context));
      }
      DropContext();
    }
    Context = pa_context_new(pa_threaded_mainloop_get_api(Mainloop), ApplicationName.c_str());
    if (Context == nullptr) {
      return kMmNoMem;
    }
    pa_context_set_state_callback(Context, &Impl::OnContextState, this);
    if (pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      const MmResult error = BackendError(pa_context_errno(Context));
      DropContext();
      return error;
    }
    const bool settled = WaitFor([&] {
      const pa_context_state_t state = pa_context_get_state(Context);
      return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (!settled) {
      DropContext();
      return BackendError(PA_ERR_TIMEOUT);
    }
    if (pa_context_get_state(Context) != PA_CONTEXT_READY) {
      const MmResult error = BackendError(pa_context_errno(Context));
      DropContext();
      return error;
    }
    return kMmNoError;
  }

  struct Listing {
    std::string DefaultSource;
    std::vector<Source> Sources;
  };

  static void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    if (info != nullptr && info->default_source_name != nullptr) {
      static_cast<Listing*>(userdata)->DefaultSource = info->default_source_name;
    }
  }

  static void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    if (eol != 0 || info == nullptr) {
      return;
    }
    Source source;
    source.Name = info->name != nullptr ? info->name : "";
    source.Description = info->description != nullptr && info->description[0] != '\0'
                             ? info->description
                             : source.Name;
    source.Channels = info->channel_map.channels;
    static_cast<Listing*>(userdata)->Sources.push_back(std::move(source));
  }

  // Owner thread, lock not held: rebuilds Devices from the server.
  void Enumerate() {
    Devices.clear();
    Enumerated = true;
    if (EnsureContext() != kMmNoError) {
      return;
    }
    Listing listing;
    pa_threaded_mainloop_lock(Mainloop);
    const bool ok =
        Complete(pa_context_get_server_info(Context, &Impl::OnServerInfo, &listing)) &&
        Complete(pa_context_get_source_info_list(Context, &Impl::OnSourceInfo, &listing));
    pa_threaded_mainloop_unlock(Mainloop);
    if (!ok) {
      return;
    }
    auto isDefault = [&](const Source& s) { return s.Name == listing.DefaultSource; };
    auto defaultSource = std::find_if(listing.Sources.begin(), listing.Sources.end(), isDefault);
    if (defaultSource == listing.Sources.end()) {
      // No default (or it vanished between the two queries): the server
      // would pick one itself; the first source stands for it.
      defaultSource = listing.Sources.begin();
    }
    if (defaultSource == listing.Sources.end()) {
      return;
    }
    Devices.push_back(*defaultSource);
    for (auto it = listing.Sources.begin(); it != listing.Sources.end(); ++it) {
      if (it != defaultSource) {
        Devices.push_back(std::move(*it));
      }
    }
  }

  // Owner thread, mainloop lock held: stops the flow and hands back every
  // queued header with what it holds.
  void ResetLocked() {
    Started = false;
    if (Stream != nullptr && pa_stream_get_state(Stream) == PA_STREAM_READY) {
      Complete(pa_stream_cork(Stream, 1, nullptr, nullptr));
      Complete(pa_stream_flush(Stream, nullptr, nullptr));
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

  void CloseLocked() {
    ResetLocked();
    pa_stream_set_read_callback(Stream, nullptr, nullptr);
    pa_stream_set_state_callback(Stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(Stream))) {
      pa_stream_disconnect(Stream);
    }
    pa_stream_unref(Stream);
    Stream = nullptr;
  }

  MmResult StreamError() const {
    return BackendError(Context != nullptr ? pa_context_errno(Context) : PA_ERR_UNKNOWN);
  }
};

PulseWaveIn::PulseWaveIn(std::string applicationName)
    : m_impl(std::make_unique<Impl>(std::move(applicationName))) {}

PulseWaveIn::~PulseWaveIn() {
  if (m_impl->Mainloop == nullptr) {
    return;
  }
  pa_threaded_mainloop_lock(m_impl->Mainloop);
  if (m_impl->Stream != nullptr) {
    m_impl->CloseLocked();
  }
  m_impl->DropContext();
  pa_threaded_mainloop_unlock(m_impl->Mainloop);
  pa_threaded_mainloop_stop(m_impl->Mainloop);
  pa_threaded_mainloop_free(m_impl->Mainloop);
}

std::uint32_t PulseWaveIn::GetNumDevs() {
  m_impl->Enumerate();
  return static_cast<std::uint32_t>(m_impl->Devices.size());
}

MmResult PulseWaveIn::GetDevCaps(std::uint32_t deviceId, WaveInCaps& caps) {
  if (!m_impl->Enumerated) {
    m_impl->Enumerate();
  }
  if (deviceId >= m_impl->Devices.size()) {
    return kMmBadDeviceId;
  }
  const Source& source = m_impl->Devices[deviceId];
  caps = WaveInCaps{};
  CopyDeviceName(caps, source.Description);
  caps.Formats = kWaveFormatAll;  // the server converts to the stream's format
  caps.Channels = static_cast<std::uint16_t>(source.Channels != 0 ? source.Channels : 2);
  return kMmNoError;
}

MmResult PulseWaveIn::Open(std::uint32_t deviceId, const WaveFormat& format) {
  Impl& impl = *m_impl;
  if (impl.Stream != nullptr) {
    return kMmAllocated;
  }
  if (!IsSupportedFormat(format)) {
    return kWaveBadFormat;
  }
  if (const MmResult result = impl.EnsureContext(); result != kMmNoError) {
    return result;
  }
  if (impl.Devices.empty()) {
    impl.Enumerate();
  }
  if (deviceId >= impl.Devices.size()) {
    return kMmBadDeviceId;
  }
  // Device 0 follows the server's default source, wherever it moves.
  const std::string sourceName = deviceId == 0 ? std::string() : impl.Devices[deviceId].Name;

  pa_threaded_mainloop_lock(impl.Mainloop);
  const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, kSampleRate, kChannels};
  impl.Stream = pa_stream_new(impl.Context, "Recording", &sampleFormat, nullptr);
  if (impl.Stream == nullptr) {
    const MmResult error = impl.StreamError();
    pa_threaded_mainloop_unlock(impl.Mainloop);
    return error;
  }
  pa_stream_set_state_callback(impl.Stream, &Impl::OnStreamState, &impl);
  pa_stream_set_read_callback(impl.Stream, &Impl::OnRead, &impl);
  pa_buffer_attr attr{};
  attr.maxlength = UINT32_MAX;
  attr.tlength = UINT32_MAX;
  attr.prebuf = UINT32_MAX;
  attr.minreq = UINT32_MAX;
  attr.fragsize = kFragmentBytes;
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
  MmResult result = kMmNoError;
  if (pa_stream_connect_record(impl.Stream, sourceName.empty() ? nullptr : sourceName.c_str(),
                               &attr, flags) < 0) {
    result = impl.StreamError();
  } else {
    const bool settled = impl.WaitFor([&] {
      const pa_stream_state_t state = pa_stream_get_state(impl.Stream);
      return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    });
    if (!settled) {
      result = BackendError(PA_ERR_TIMEOUT);
    } else if (pa_stream_get_state(impl.Stream) != PA_STREAM_READY) {
      result = impl.StreamError();
    }
  }
  if (result != kMmNoError) {
    impl.CloseLocked();
  }
  pa_threaded_mainloop_unlock(impl.Mainloop);
  return result;
}

MmResult PulseWaveIn::PrepareHeader(WaveHeader& header) {
  if (header.Data == nullptr || header.BufferLength == 0) {
    return kMmInvalidParam;
  }
  header.Flags.fetch_or(kWhdrPrepared, std::memory_order_relaxed);
  return kMmNoError;
}

MmResult PulseWaveIn::AddBuffer(WaveHeader& header) {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) {
    return kMmInvalidHandle;
  }
  if (header.Data == nullptr || header.BufferLength == 0) {
    return kMmInvalidParam;
  }
  std::lock_guard lock(impl.QueueMutex);
  const std::uint32_t flags = header.Flags.load(std::memory_order_relaxed);
  if ((flags & kWhdrPrepared) == 0) {
    return kWaveUnprepared;
  }
  if ((flags & kWhdrInQueue) != 0) {
    return kWaveStillPlaying;  // queuing it twice would fill it twice
  }
  header.BytesRecorded.store(0, std::memory_order_relaxed);
  header.Flags.store((flags & ~kWhdrDone) | kWhdrInQueue, std::memory_order_relaxed);
  impl.Queue.push_back(&header);
  return kMmNoError;
}

MmResult PulseWaveIn::Start() {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) {
    return kMmInvalidHandle;
  }
  pa_threaded_mainloop_lock(impl.Mainloop);
  MmResult result = kMmNoError;
  if (pa_stream_get_state(impl.Stream) != PA_STREAM_READY) {
    result = impl.StreamError();
  } else {
    impl.Started = true;
    if (!impl.Complete(pa_stream_cork(impl.Stream, 0, nullptr, nullptr))) {
      impl.Started = false;
      result = impl.StreamError();
    }
  }
  pa_threaded_mainloop_unlock(impl.Mainloop);
  return result;
}

MmResult PulseWaveIn::Reset() {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) {
    return kMmInvalidHandle;
  }
  pa_threaded_mainloop_lock(impl.Mainloop);
  impl.ResetLocked();
  pa_threaded_mainloop_unlock(impl.Mainloop);
  return kMmNoError;
}

MmResult PulseWaveIn::UnprepareHeader(WaveHeader& header) {
  if ((header.Flags.load(std::memory_order_acquire) & kWhdrInQueue) != 0) {
    return kWaveStillPlaying;
  }
  header.Flags.fetch_and(~kWhdrPrepared, std::memory_order_relaxed);
  return kMmNoError;
}

MmResult PulseWaveIn::Close() {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) {
    return kMmInvalidHandle;
  }
  pa_threaded_mainloop_lock(impl.Mainloop);
  impl.CloseLocked();
  pa_threaded_mainloop_unlock(impl.Mainloop);
  return kMmNoError;
}

std::string PulseWaveIn::GetErrorText(MmResult result) {
  if (result >= kMmBackendBase) {
    const MmResult code = result - kMmBackendBase;
    const char* text = code <= INT_MAX ? pa_strerror(static_cast<int>(code)) : nullptr;
    if (text != nullptr) {
      return text;
    }
    return "Unknown sound server error " + std::to_string(code) + ".";
  }
  return CommonErrorText(result);
}

std::uint64_t PulseWaveIn::DroppedFrames() const {
  return m_impl->DroppedBytes.load(std::memory_order_relaxed) / kBytesPerFrame;
}

}  // namespace tavrin::platform
