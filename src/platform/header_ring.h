#pragma once
// A ring of headers that a device keeps queued for its owner, who takes their
// frames in the order the device filled them and queues each header again
// once it is used up. For a device that stands between the caller and
// backends of its own (PairedWaveIn).
//
// Threading: the owner's thread; the backend may fill headers from its own
// and publishes them as wave_in.h says.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/wave_in.h"

namespace tavrin::platform {

class HeaderRing {
public:
  HeaderRing(std::size_t headers, std::uint32_t framesPerHeader);

  // Prepares every header and queues it on `device`, in ring order.
  MmResult Queue(WaveIn& device);
  // The frames of the oldest header handed back and not yet taken, as
  // interleaved stereo samples; empty while the device still holds it.
  std::span<const std::int16_t> Front(WaveIn& device);
  // Takes `frames` of Front(); a header used up is queued again.
  void Take(WaveIn& device, std::size_t frames);
  // Frames handed back and not yet taken.
  std::size_t Backlog() const;
  // Drops everything handed back (after the device's Reset) and queues the
  // headers again, so the ring stands as after Queue.
  void Requeue(WaveIn& device);
  // Unprepares every header; the device must have handed them all back.
  void Release(WaveIn& device);

private:
  bool Done(const WaveHeader& header) const {
    return (header.Flags.load(std::memory_order_acquire) & kWhdrDone) != 0;
  }

  std::vector<std::int16_t> m_memory;
  std::unique_ptr<WaveHeader[]> m_headers;
  std::size_t m_count;
  std::uint32_t m_headerBytes;
  std::size_t m_oldest = 0;
  std::size_t m_takenFrames = 0;  // of the oldest header
};

}  // namespace tavrin::platform
