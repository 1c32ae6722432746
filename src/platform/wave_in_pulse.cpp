#include "platform/wave_in_pulse.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/wave_in_pulse_impl.h"

namespace tavrin::platform {

namespace {

// What the server keeps for a reader that is late. More than the capture ring
// (4 s) can take after a stall would be dropped on arrival anyway; what the
// server drops is found from the stream's clock (see OnTiming).
constexpr std::uint32_t kServerBufferBytes = 2 * WaveFormat{}.AvgBytesPerSec;

}  // namespace

PulseWaveIn::PulseWaveIn(std::string applicationName)
    : PulseWaveIn(std::make_shared<PulseConnection>(std::move(applicationName))) {}

PulseWaveIn::PulseWaveIn(std::shared_ptr<PulseConnection> connection)
    : m_impl(std::make_unique<Impl>(std::move(connection))) {}

PulseWaveIn::~PulseWaveIn() {
  if (m_impl->Stream != nullptr) {
    PulseConnection::Guard lock(*m_impl->Connection);
    m_impl->CloseLocked();
  }
}

void PulseWaveIn::Impl::Enumerate() {
  ListError = kMmNoError;
  std::optional<std::vector<PulseDevice>> sources = Connection->ListSources(&ListError);
  Devices = std::move(sources).value_or(std::vector<PulseDevice>{});
  Enumerated = true;
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
  const PulseDevice& source = m_impl->Devices[deviceId];
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
  if (!IsFixedFormat(format)) {
    return kWaveBadFormat;
  }
  if (const MmResult result = impl.Connection->Connect(); result != kMmNoError) {
    return result;
  }
  if (impl.Devices.empty()) {
    impl.Enumerate();
  }
  if (deviceId >= impl.Devices.size()) {
    return kMmBadDeviceId;
  }
  // Device 0 follows the server's default source, wherever it moves, unless
  // it is the selected source. One opened by name ends with its source
  // instead of being moved elsewhere without a word.
  const std::string& listedName = impl.Devices[deviceId].Name;
  const bool byName = deviceId != 0 || listedName == impl.Connection->SelectedSource();
  const std::string sourceName = byName ? listedName : std::string();

  PulseConnection::Guard lock(*impl.Connection);
  const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, kFormatRate, kFormatChannels};
  impl.Stream = pa_stream_new(impl.Connection->Context(), "Recording", &sampleFormat, nullptr);
  if (impl.Stream == nullptr) {
    return impl.Connection->StreamError();
  }
  impl.Connection->AddStream();
  pa_stream_set_state_callback(impl.Stream, &PulseConnection::OnStreamState, impl.Connection.get());
  pa_stream_set_read_callback(impl.Stream, &Impl::OnRead, &impl);
  pa_buffer_attr attr{};
  attr.maxlength = kServerBufferBytes;
  attr.tlength = UINT32_MAX;
  attr.prebuf = UINT32_MAX;
  attr.minreq = UINT32_MAX;
  attr.fragsize = kFragmentBytes;
  // Not corked: audio before Start is dropped on arrival (Started is false),
  // so Start needs no answer from the server.
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
                                     (byName ? PA_STREAM_DONT_MOVE : PA_STREAM_NOFLAGS));
  pa_stream_set_latency_update_callback(impl.Stream, &Impl::OnTiming, &impl);
  MmResult result = kMmNoError;
  if (pa_stream_connect_record(impl.Stream, sourceName.empty() ? nullptr : sourceName.c_str(),
                               &attr, flags) < 0) {
    result = impl.Connection->StreamError();
  } else {
    // A refusal comes at once; a server that hangs leaves the stream being
    // created, and DeviceError tells if it fails later.
    impl.Connection->WaitForStream(impl.Stream, impl.Connection->WaitLimit());
    result = impl.Connection->StreamFailure(impl.Stream);
  }
  if (result != kMmNoError) {
    impl.CloseLocked();
  }
  return result;
}

MmResult PulseWaveIn::PrepareHeader(WaveHeader& header) {
  return PrepareWaveHeader(header);
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
  PulseConnection::Guard lock(*impl.Connection);
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(impl.Stream))) {
    return impl.Connection->StreamError();
  }
  // Started again while running (the capture does so after every half it
  // queues again): the stream's clock runs on, so a stall before it is still
  // counted.
  if (!impl.Started) {
    impl.ClockBaseSet = false;
    impl.StartUsecs.clear();
    impl.FramesSinceStart = 0;
  }
  impl.Started = true;
  return kMmNoError;
}

MmResult PulseWaveIn::Reset() {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) {
    return kMmInvalidHandle;
  }
  PulseConnection::Guard lock(*impl.Connection);
  impl.ResetLocked();
  return kMmNoError;
}

MmResult PulseWaveIn::UnprepareHeader(WaveHeader& header) {
  return UnprepareWaveHeader(header);
}

MmResult PulseWaveIn::Close() {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) {
    return kMmInvalidHandle;
  }
  PulseConnection::Guard lock(*impl.Connection);
  impl.CloseLocked();
  return kMmNoError;
}

std::string PulseWaveIn::GetErrorText(MmResult result) {
  return PulseErrorText(result);
}

bool PulseWaveIn::CaptureTime(std::uint64_t frame, std::int64_t& usec) {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) return false;
  PulseConnection::Guard lock(*impl.Connection);
  if (!impl.Started) return false;
  // The middle of many updates over a second at least, not the first alone:
  // asked for at every call until there are enough.
  std::vector<std::int64_t> starts = impl.StartUsecs;
  if (starts.size() < kMostCaptureTimes) {
    if (pa_operation* update = pa_stream_update_timing_info(impl.Stream, nullptr, nullptr)) {
      pa_operation_unref(update);
    }
  }
  if (starts.size() < kFewestCaptureTimes ||
      impl.FramesSinceStart - impl.FirstTimedFrame < kFormatRate) {
    return false;
  }
  const auto middle = starts.begin() + static_cast<std::ptrdiff_t>(starts.size() / 2);
  std::nth_element(starts.begin(), middle, starts.end());
  usec = *middle + static_cast<std::int64_t>(frame) * static_cast<std::int64_t>(PA_USEC_PER_SEC) /
                       kFormatRate;
  return true;
}

std::uint64_t PulseWaveIn::DroppedFrames() const {
  return m_impl->DroppedBytes.load(std::memory_order_relaxed) / kBytesPerFrame +
         m_impl->ServerDroppedFrames.load(std::memory_order_relaxed);
}

MmResult PulseWaveIn::ListError() {
  return m_impl->ListError;
}

std::vector<SourceInfo> PulseWaveIn::Sources() {
  std::vector<PulseDevice> devices = m_impl->Devices;
  std::sort(devices.begin(), devices.end(),
            [](const PulseDevice& a, const PulseDevice& b) { return a.Index < b.Index; });
  std::vector<SourceInfo> sources;
  for (const PulseDevice& device : devices) {
    sources.push_back({device.Name, device.Description, device.Monitor, device.MonitorOf});
  }
  return sources;
}

void PulseWaveIn::SelectSource(const std::string& name) {
  m_impl->Connection->SelectSource(name);
  if (m_impl->Enumerated) m_impl->Enumerate();
}

MmResult PulseWaveIn::DeviceError() {
  if (m_impl->Stream == nullptr) return kMmNoError;
  PulseConnection::Guard lock(*m_impl->Connection);
  return m_impl->Connection->StreamFailure(m_impl->Stream);
}

}  // namespace tavrin::platform
