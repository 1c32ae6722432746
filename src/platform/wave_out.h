#pragma once
// Wave-output device layer, shaped like the classic multimedia wave-out API so
// that playback can poll buffer headers instead of taking callbacks.
//
// Threading: every method is called from one thread, the owner's (the user-
// interface thread). A backend may play queued headers from a thread of its
// own and marks each one done (see platform/wave_common.h) once its last byte
// has been played, not merely handed on. The caller must not touch a header's
// data or length between Write and its done mark or Reset.

#include <cstdint>
#include <string>

#include "platform/wave_common.h"

namespace tavrin::platform {

// The volume word: left volume in the low 16 bits, right in the high 16 bits,
// each 0..65535 (65535 = 100 %).
inline constexpr std::uint32_t VolumeWord(std::uint16_t left, std::uint16_t right) {
  return static_cast<std::uint32_t>(left) | (static_cast<std::uint32_t>(right) << 16);
}

class WaveOut {
public:
  virtual ~WaveOut() = default;

  // Opens device 0 (the default output) for the format; it plays whatever is
  // written from then on.
  virtual MmResult Open(std::uint32_t deviceId, const WaveFormat& format) = 0;
  virtual MmResult PrepareHeader(WaveHeader& header) = 0;
  // Queues the header's BufferLength bytes; headers play strictly in order.
  virtual MmResult Write(WaveHeader& header) = 0;
  // Stops at once: what is queued is dropped and every queued header is
  // marked done before Reset returns.
  virtual MmResult Reset() = 0;
  virtual MmResult UnprepareHeader(WaveHeader& header) = 0;
  // Fails with kWaveStillPlaying while headers are queued (Reset first).
  virtual MmResult Close() = 0;
  virtual MmResult GetVolume(std::uint32_t& volume) = 0;
  virtual MmResult SetVolume(std::uint32_t volume) = 0;
  virtual std::string GetErrorText(MmResult result) = 0;

  // kMmNoError while the open device works; otherwise the failure that broke
  // it (the sound server went away), after which nothing more will play.
  virtual MmResult DeviceError() = 0;
  // Times the device ran out of queued audio since it was opened (running dry
  // after the last header, the normal end, counts too).
  virtual std::uint64_t Underruns() const = 0;
};

}  // namespace tavrin::platform
