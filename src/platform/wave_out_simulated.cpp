#include "platform/wave_out_simulated.h"

#include <algorithm>

namespace tavrin::platform {

namespace {
constexpr std::uint32_t kBytesPerFrame = 4;
}  // namespace

void SimulatedWaveOut::Advance(std::uint64_t frames) {
  if (!m_open || m_deviceError != kMmNoError) return;
  std::uint64_t bytes = frames * kBytesPerFrame;
  while (bytes > 0) {
    if (m_queue.empty()) {
      if (!m_dry) ++m_underruns;
      m_dry = true;
      return;
    }
    m_dry = false;
    WaveHeader* header = m_queue.front();
    const std::uint64_t count =
        std::min<std::uint64_t>(bytes, header->BufferLength - m_frontPlayed);
    m_played.insert(m_played.end(), header->Data + m_frontPlayed,
                    header->Data + m_frontPlayed + count);
    m_frontPlayed += static_cast<std::uint32_t>(count);
    bytes -= count;
    if (m_frontPlayed == header->BufferLength) {
      m_queue.pop_front();
      m_frontPlayed = 0;
      MarkHeaderDone(*header);
    }
  }
}

MmResult SimulatedWaveOut::Open(std::uint32_t deviceId, const WaveFormat& format) {
  if (m_openError != kMmNoError) return m_openError;
  if (deviceId != 0) return kMmBadDeviceId;
  if (m_open) return kMmAllocated;
  if (!IsFixedFormat(format)) return kWaveBadFormat;
  m_open = true;
  m_deviceError = kMmNoError;
  m_underruns = 0;
  m_dry = true;
  return kMmNoError;
}

MmResult SimulatedWaveOut::PrepareHeader(WaveHeader& header) {
  if (!m_open) return kMmInvalidHandle;
  return PrepareWaveHeader(header);
}

MmResult SimulatedWaveOut::Write(WaveHeader& header) {
  if (!m_open) return kMmInvalidHandle;
  if (m_deviceError != kMmNoError) return m_deviceError;
  const std::uint32_t flags = header.Flags.load();
  if ((flags & kWhdrPrepared) == 0) return kWaveUnprepared;
  if ((flags & kWhdrInQueue) != 0) return kWaveStillPlaying;
  header.Flags.store((flags & ~kWhdrDone) | kWhdrInQueue);
  m_queue.push_back(&header);
  return kMmNoError;
}

MmResult SimulatedWaveOut::Reset() {
  if (!m_open) return kMmInvalidHandle;
  for (WaveHeader* header : m_queue) MarkHeaderDone(*header);
  m_queue.clear();
  m_frontPlayed = 0;
  m_dry = true;
  return kMmNoError;
}

MmResult SimulatedWaveOut::UnprepareHeader(WaveHeader& header) {
  if (!m_open) return kMmInvalidHandle;
  return UnprepareWaveHeader(header);
}

MmResult SimulatedWaveOut::Close() {
  if (!m_open) return kMmInvalidHandle;
  if (!m_queue.empty()) return kWaveStillPlaying;
  m_open = false;
  return kMmNoError;
}

MmResult SimulatedWaveOut::GetVolume(std::uint32_t& volume) {
  if (!m_open) return kMmInvalidHandle;
  if (m_deviceError != kMmNoError) return m_deviceError;
  volume = m_volume;
  return kMmNoError;
}

MmResult SimulatedWaveOut::SetVolume(std::uint32_t volume) {
  if (!m_open) return kMmInvalidHandle;
  if (m_deviceError != kMmNoError) return m_deviceError;
  m_volume = volume;
  return kMmNoError;
}

std::string SimulatedWaveOut::GetErrorText(MmResult result) {
  return CommonErrorText(result);
}

}  // namespace tavrin::platform
