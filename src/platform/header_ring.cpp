#include "platform/header_ring.h"

namespace tavrin::platform {

HeaderRing::HeaderRing(std::size_t headers, std::uint32_t framesPerHeader)
    : m_memory(headers * framesPerHeader * kFormatChannels),
      m_headers(std::make_unique<WaveHeader[]>(headers)),
      m_count(headers),
      m_headerBytes(framesPerHeader * kFormatBlockAlign) {
  for (std::size_t i = 0; i < m_count; ++i) {
    m_headers[i].Data = reinterpret_cast<char*>(m_memory.data() + i * framesPerHeader * 2);
    m_headers[i].BufferLength = m_headerBytes;
  }
}

MmResult HeaderRing::Queue(WaveIn& device) {
  m_oldest = 0;
  m_takenFrames = 0;
  for (std::size_t i = 0; i < m_count; ++i) {
    WaveHeader& header = m_headers[i];
    header.Flags.store(0);
    header.BytesRecorded.store(0);
    MmResult result = device.PrepareHeader(header);
    if (result == kMmNoError) result = device.AddBuffer(header);
    if (result != kMmNoError) return result;
  }
  return kMmNoError;
}

std::span<const std::int16_t> HeaderRing::Front(WaveIn& device) {
  for (std::size_t tries = 0; tries < m_count; ++tries) {
    const WaveHeader& header = m_headers[m_oldest];
    if (!Done(header)) return {};
    const std::size_t frames =
        header.BytesRecorded.load(std::memory_order_acquire) / kFormatBlockAlign;
    if (m_takenFrames < frames) {
      const auto* samples = reinterpret_cast<const std::int16_t*>(header.Data);
      return {samples + 2 * m_takenFrames, 2 * (frames - m_takenFrames)};
    }
    // Handed back empty or used up: queue it again and look at the next.
    Take(device, 0);
  }
  return {};
}

void HeaderRing::Take(WaveIn& device, std::size_t frames) {
  WaveHeader& header = m_headers[m_oldest];
  m_takenFrames += frames;
  if (m_takenFrames * kFormatBlockAlign < header.BytesRecorded.load(std::memory_order_relaxed)) {
    return;
  }
  header.BytesRecorded.store(0, std::memory_order_relaxed);
  // A device that refuses the header has failed; its DeviceError or its next
  // call says so to the owner, and the ring simply runs one header short.
  static_cast<void>(device.AddBuffer(header));
  m_oldest = (m_oldest + 1) % m_count;
  m_takenFrames = 0;
}

std::size_t HeaderRing::Backlog() const {
  std::size_t frames = 0;
  for (std::size_t i = 0; i < m_count; ++i) {
    const WaveHeader& header = m_headers[(m_oldest + i) % m_count];
    if (!Done(header)) break;
    frames += header.BytesRecorded.load(std::memory_order_acquire) / kFormatBlockAlign;
  }
  return frames > m_takenFrames ? frames - m_takenFrames : 0;
}

void HeaderRing::Requeue(WaveIn& device) {
  for (std::size_t i = 0; i < m_count; ++i) {
    WaveHeader& header = m_headers[m_oldest];
    if (!Done(header)) break;
    m_takenFrames = header.BytesRecorded.load(std::memory_order_acquire) / kFormatBlockAlign;
    Take(device, 0);
  }
}

void HeaderRing::Release(WaveIn& device) {
  for (std::size_t i = 0; i < m_count; ++i) {
    static_cast<void>(device.UnprepareHeader(m_headers[i]));
  }
}

}  // namespace tavrin::platform
