#include "platform/wave_in_simulated.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace tavrin::platform {

namespace {

const std::string& IdOf(const SimulatedWaveIn::Device& device) {
  return device.Id.empty() ? device.Name : device.Id;
}

}  // namespace

SimulatedWaveIn::SimulatedWaveIn()
    : m_devices{Device{"Simulated Microphone"}}, m_source(&SimulatedWaveIn::IndexPattern) {}

void SimulatedWaveIn::IndexPattern(std::uint64_t frame, std::int16_t& left, std::int16_t& right) {
  left = static_cast<std::int16_t>(static_cast<std::uint16_t>(frame & 0xFFFF));
  right = static_cast<std::int16_t>(static_cast<std::uint16_t>((frame >> 16) & 0xFFFF));
}

void SimulatedWaveIn::SetClockRatio(double ratio) {
  m_clockRatio = ratio;
  m_clockTicks = 0;
  m_clockFrames = 0;
}

void SimulatedWaveIn::Advance(std::uint64_t ticks) {
  m_ticks += ticks;
  if (!m_open || !m_started || m_deviceError != kMmNoError) return;
  // Counted from the ratio's start so that no rounding piles up over hours.
  m_clockTicks += ticks;
  const auto due = static_cast<std::uint64_t>(static_cast<double>(m_clockTicks) * m_clockRatio);
  const std::uint64_t frames = due > m_clockFrames ? due - m_clockFrames : 0;
  m_clockFrames += frames;
  for (std::uint64_t i = 0; i < frames; ++i) {
    std::int16_t left = 0;
    std::int16_t right = 0;
    m_source(m_framesProduced++, left, right);
    if (m_queue.empty()) {
      ++m_droppedFrames;
      continue;
    }
    WaveHeader* header = m_queue.front();
    unsigned char bytes[4];
    std::memcpy(bytes, &left, 2);
    std::memcpy(bytes + 2, &right, 2);
    // Little-endian on every machine we build for; the copy keeps the layout explicit.
    std::memcpy(header->Data + m_fillBytes, bytes, 4);
    m_fillBytes += 4;
    if (m_fillBytes + 4 > header->BufferLength) {
      header->BytesRecorded.store(m_fillBytes, std::memory_order_release);
      header->Flags = (header->Flags & ~kWhdrInQueue) | kWhdrDone;
      m_queue.pop_front();
      m_fillBytes = 0;
    }
  }
}

bool SimulatedWaveIn::FailsNow(Call call) {
  if (m_failResult == kMmNoError || call != m_failCall) return false;
  if (m_failAfter-- > 0) return false;
  return true;
}

std::uint32_t SimulatedWaveIn::GetNumDevs() {
  if (m_listError != kMmNoError) return 0;
  return static_cast<std::uint32_t>(m_devices.size());
}

void SimulatedWaveIn::SetDevices(std::vector<Device> devices) {
  m_devices = std::move(devices);
  const bool listed = std::any_of(m_devices.begin(), m_devices.end(), [this](const Device& device) {
    return IdOf(device) == m_openSource;
  });
  if (m_open && m_openByName && !listed) m_deviceError = kMmBackendBase + 1;
}

const SimulatedWaveIn::Device* SimulatedWaveIn::Numbered(std::uint32_t deviceId) const {
  if (deviceId >= m_devices.size()) return nullptr;
  const auto selected =
      std::find_if(m_devices.begin(), m_devices.end(),
                   [this](const Device& device) { return IdOf(device) == m_selected; });
  if (m_selected.empty() || selected == m_devices.end()) return &m_devices[deviceId];
  const auto at = static_cast<std::ptrdiff_t>(deviceId);
  if (at == 0) return &*selected;
  // The others keep their order after it.
  return &m_devices[static_cast<std::size_t>(at <= selected - m_devices.begin() ? at - 1 : at)];
}

std::vector<SourceInfo> SimulatedWaveIn::Sources() {
  std::vector<SourceInfo> sources;
  if (m_listError != kMmNoError) return sources;
  for (const Device& device : m_devices) {
    sources.push_back({IdOf(device), device.Name, !device.MonitorOf.empty(), device.MonitorOf});
  }
  return sources;
}

MmResult SimulatedWaveIn::GetDevCaps(std::uint32_t deviceId, WaveInCaps& caps) {
  const Device* device = Numbered(deviceId);
  if (m_listError != kMmNoError || device == nullptr) return kMmBadDeviceId;
  caps = WaveInCaps{};
  CopyDeviceName(caps, device->Name);
  caps.Formats = device->Formats;
  caps.Channels = device->Channels;
  return kMmNoError;
}

MmResult SimulatedWaveIn::Open(std::uint32_t deviceId, const WaveFormat& format) {
  if (m_openError != kMmNoError) return m_openError;
  const Device* device = Numbered(deviceId);
  if (device == nullptr) return kMmBadDeviceId;
  if (device->OpenError != kMmNoError) return device->OpenError;
  if (m_open) return kMmAllocated;
  if (format.FormatTag != kWaveFormatPcm || format.Channels != kFormatChannels ||
      format.BitsPerSample != kFormatBits || format.SamplesPerSec != kFormatRate) {
    return kWaveBadFormat;
  }
  m_open = true;
  m_started = false;
  ++m_openCount;
  m_openSource = IdOf(*device);
  m_openByName = deviceId != 0 || m_openSource == m_selected;
  return kMmNoError;
}

MmResult SimulatedWaveIn::PrepareHeader(WaveHeader& header) {
  if (!m_open) return kMmInvalidHandle;
  if (FailsNow(Call::PrepareHeader)) return std::exchange(m_failResult, kMmNoError);
  header.Flags |= kWhdrPrepared;
  return kMmNoError;
}

MmResult SimulatedWaveIn::AddBuffer(WaveHeader& header) {
  if (!m_open) return kMmInvalidHandle;
  if ((header.Flags & kWhdrPrepared) == 0) return kWaveUnprepared;
  if (FailsNow(Call::AddBuffer)) return std::exchange(m_failResult, kMmNoError);
  header.Flags = (header.Flags & ~kWhdrDone) | kWhdrInQueue;
  m_queue.push_back(&header);
  return kMmNoError;
}

MmResult SimulatedWaveIn::Start() {
  if (!m_open) return kMmInvalidHandle;
  if (FailsNow(Call::Start)) return std::exchange(m_failResult, kMmNoError);
  if (!m_started) {
    m_startTicks = m_ticks;
  }
  m_started = true;
  return kMmNoError;
}

bool SimulatedWaveIn::CaptureTime(std::uint64_t frame, std::int64_t& usec) {
  if (!m_started) return false;
  // Frames since Start came at the clock's ratio from the moment of Start.
  const double ticks = static_cast<double>(m_startTicks) +
                       static_cast<double>(frame) / m_clockRatio -
                       static_cast<double>(m_latencyFrames);
  usec = std::llround(ticks * 1e6 / kFormatRate);
  return true;
}

MmResult SimulatedWaveIn::Reset() {
  if (!m_open) return kMmInvalidHandle;
  m_started = false;
  for (WaveHeader* header : m_queue) {
    header->BytesRecorded.store(header == m_queue.front() ? m_fillBytes : 0,
                                std::memory_order_release);
    header->Flags = (header->Flags & ~kWhdrInQueue) | kWhdrDone;
  }
  m_queue.clear();
  m_fillBytes = 0;
  return kMmNoError;
}

MmResult SimulatedWaveIn::UnprepareHeader(WaveHeader& header) {
  if (!m_open) return kMmInvalidHandle;
  return UnprepareWaveHeader(header);
}

MmResult SimulatedWaveIn::Close() {
  if (!m_open) return kMmInvalidHandle;
  if (!m_queue.empty()) return kWaveStillPlaying;
  m_open = false;
  m_started = false;
  m_deviceError = kMmNoError;
  return kMmNoError;
}

std::string SimulatedWaveIn::GetErrorText(MmResult result) {
  if (result >= kMmBackendBase)
    return "Simulated device error " + std::to_string(result - kMmBackendBase) + ".";
  return CommonErrorText(result);
}

}  // namespace tavrin::platform
