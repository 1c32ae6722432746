#include "platform/wave_out_pulse.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "platform/wave_out_pulse_impl.h"

namespace tavrin::platform {

namespace {

// What the sink holds ahead of the speaker: after Reset, no more than this
// is still heard.
constexpr std::uint32_t kTargetLatencyBytes = kFormatBytesPerSecond / 20;  // 50 ms
// Playback starts as soon as 10 ms are queued, so even a single block plays.
constexpr std::uint32_t kStartBytes = kFormatBytesPerSecond / 100;

pa_volume_t ToPulseVolume(std::uint32_t channel) {
  return static_cast<pa_volume_t>(std::lround(channel * double{PA_VOLUME_NORM} / 65535.0));
}

std::uint32_t FromPulseVolume(pa_volume_t volume) {
  // Above 100 % (the desktop allows it) still reads as the top of the word.
  return static_cast<std::uint32_t>(
      std::min(std::lround(volume * 65535.0 / PA_VOLUME_NORM), long{65535}));
}

struct VolumeReply {
  bool Found = false;
  pa_cvolume Volume{};
};

void OnSinkInputInfo(pa_context*, const pa_sink_input_info* info, int eol, void* userdata) {
  if (eol != 0 || info == nullptr) return;
  auto* reply = static_cast<VolumeReply*>(userdata);
  reply->Found = true;
  reply->Volume = info->volume;
}

void OnSuccess(pa_context*, int success, void* userdata) {
  *static_cast<bool*>(userdata) = success != 0;
}

}  // namespace

PulseWaveOut::PulseWaveOut(std::string applicationName)
    : PulseWaveOut(std::make_shared<PulseConnection>(std::move(applicationName))) {}

PulseWaveOut::PulseWaveOut(std::shared_ptr<PulseConnection> connection)
    : m_impl(std::make_unique<Impl>(std::move(connection))) {}

PulseWaveOut::~PulseWaveOut() {
  if (m_impl->Stream != nullptr) {
    PulseConnection::Guard lock(*m_impl->Connection);
    m_impl->CloseLocked();
  }
}

MmResult PulseWaveOut::Open(std::uint32_t deviceId, const WaveFormat& format) {
  Impl& impl = *m_impl;
  if (impl.Stream != nullptr) return kMmAllocated;
  if (deviceId != 0) return kMmBadDeviceId;
  if (!IsFixedFormat(format)) return kWaveBadFormat;
  if (const MmResult result = impl.Connection->Connect(); result != kMmNoError) return result;

  PulseConnection::Guard lock(*impl.Connection);
  const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, kFormatRate, kFormatChannels};
  impl.Stream = pa_stream_new(impl.Connection->Context(), "Playback", &sampleFormat, nullptr);
  if (impl.Stream == nullptr) return impl.Connection->LastError();
  impl.Connection->AddStream();
  pa_stream_set_state_callback(impl.Stream, &PulseConnection::OnStreamState, impl.Connection.get());
  pa_stream_set_underflow_callback(impl.Stream, &Impl::OnUnderflow, &impl);
  pa_buffer_attr attr{};
  attr.maxlength = UINT32_MAX;
  attr.tlength = kTargetLatencyBytes;
  attr.prebuf = kStartBytes;
  attr.minreq = UINT32_MAX;
  attr.fragsize = UINT32_MAX;
  MmResult result = kMmNoError;
  // Device 0 follows the server's default sink, wherever it moves.
  if (pa_stream_connect_playback(impl.Stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                 nullptr) < 0) {
    result = impl.Connection->StreamError();
  } else if (!impl.Connection->WaitForStream(impl.Stream, kPlayWaitUsec)) {
    result = BackendError(PA_ERR_TIMEOUT);
  } else if (!impl.IsReady() ||
             !impl.Connection->Complete(pa_stream_update_timing_info(impl.Stream, nullptr, nullptr),
                                        kPlayWaitUsec)) {
    result = impl.Connection->StreamError();
  } else {
    const pa_timing_info* timing = pa_stream_get_timing_info(impl.Stream);
    impl.WriteIndex = timing != nullptr ? timing->write_index : 0;
    impl.UnderrunCount.store(0, std::memory_order_relaxed);
  }
  if (result != kMmNoError) impl.CloseLocked();
  return result;
}

MmResult PulseWaveOut::PrepareHeader(WaveHeader& header) {
  if (m_impl->Stream == nullptr) return kMmInvalidHandle;
  return PrepareWaveHeader(header);
}

MmResult PulseWaveOut::Write(WaveHeader& header) {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) return kMmInvalidHandle;
  if (header.Data == nullptr || header.BufferLength == 0 ||
      header.BufferLength % kFormatBlockAlign != 0) {
    return kMmInvalidParam;
  }
  PulseConnection::Guard lock(*impl.Connection);
  const std::uint32_t flags = header.Flags.load(std::memory_order_relaxed);
  if ((flags & kWhdrPrepared) == 0) return kWaveUnprepared;
  if ((flags & kWhdrInQueue) != 0) return kWaveStillPlaying;
  if (!impl.IsReady()) return impl.Connection->StreamError();
  // libpulse copies the bytes, so the header's memory is free again at once;
  // the done mark still waits until they are heard.
  if (pa_stream_write(impl.Stream, header.Data, header.BufferLength, nullptr, 0, PA_SEEK_RELATIVE) <
      0) {
    return impl.Connection->StreamError();
  }
  header.Flags.store((flags & ~kWhdrDone) | kWhdrInQueue, std::memory_order_relaxed);
  impl.WriteIndex += header.BufferLength;
  impl.Queue.push_back({&header, impl.WriteIndex});
  impl.ArmDoneTimer();
  return kMmNoError;
}

MmResult PulseWaveOut::Reset() {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) return kMmInvalidHandle;
  PulseConnection::Guard lock(*impl.Connection);
  impl.ResetLocked();
  return kMmNoError;
}

MmResult PulseWaveOut::UnprepareHeader(WaveHeader& header) {
  if (m_impl->Stream == nullptr) return kMmInvalidHandle;
  return UnprepareWaveHeader(header);
}

MmResult PulseWaveOut::Close() {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) return kMmInvalidHandle;
  PulseConnection::Guard lock(*impl.Connection);
  if (!impl.Queue.empty()) return kWaveStillPlaying;
  impl.CloseLocked();
  return kMmNoError;
}

MmResult PulseWaveOut::GetVolume(std::uint32_t& volume) {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) return kMmInvalidHandle;
  PulseConnection::Guard lock(*impl.Connection);
  if (!impl.IsReady()) return impl.Connection->StreamError();
  VolumeReply reply;
  if (!impl.Connection->Complete(pa_context_get_sink_input_info(impl.Connection->Context(),
                                                                pa_stream_get_index(impl.Stream),
                                                                &OnSinkInputInfo, &reply),
                                 kPlayWaitUsec)) {
    return impl.Connection->StreamError();
  }
  if (!reply.Found || reply.Volume.channels == 0) return BackendError(PA_ERR_NOENTITY);
  // A mono view of the stream has one value for both sides.
  const pa_volume_t left = reply.Volume.values[0];
  const pa_volume_t right = reply.Volume.values[reply.Volume.channels > 1 ? 1 : 0];
  volume = FromPulseVolume(left) | (FromPulseVolume(right) << 16);
  return kMmNoError;
}

MmResult PulseWaveOut::SetVolume(std::uint32_t volume) {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) return kMmInvalidHandle;
  PulseConnection::Guard lock(*impl.Connection);
  if (!impl.IsReady()) return impl.Connection->StreamError();
  pa_cvolume channels{};
  channels.channels = 2;
  channels.values[0] = ToPulseVolume(volume & 0xFFFF);
  channels.values[1] = ToPulseVolume(volume >> 16);
  bool succeeded = false;
  if (!impl.Connection->Complete(pa_context_set_sink_input_volume(
                                     impl.Connection->Context(), pa_stream_get_index(impl.Stream),
                                     &channels, &OnSuccess, &succeeded),
                                 kPlayWaitUsec)) {
    return impl.Connection->StreamError();
  }
  return succeeded ? kMmNoError : impl.Connection->LastError();
}

std::string PulseWaveOut::GetErrorText(MmResult result) {
  return PulseErrorText(result);
}

MmResult PulseWaveOut::DeviceError() {
  if (m_impl->Stream == nullptr) return kMmNoError;
  PulseConnection::Guard lock(*m_impl->Connection);
  return m_impl->Connection->StreamFailure(m_impl->Stream);
}

std::uint64_t PulseWaveOut::Underruns() const {
  return m_impl->UnderrunCount.load(std::memory_order_relaxed);
}

std::int64_t PulseWaveOut::StreamIndex() {
  Impl& impl = *m_impl;
  if (impl.Stream == nullptr) return -1;
  PulseConnection::Guard lock(*impl.Connection);
  const std::uint32_t index = pa_stream_get_index(impl.Stream);
  return index == PA_INVALID_INDEX ? -1 : static_cast<std::int64_t>(index);
}

}  // namespace tavrin::platform
