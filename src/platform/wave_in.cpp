#include "platform/wave_in.h"

#include <cstring>

namespace tavrin::platform {

void CopyDeviceName(WaveInCaps& caps, std::string_view name) {
  std::size_t length = std::min(name.size(), kDeviceNameBytes - 1);
  // Step back over continuation bytes so a multi-byte character is never split.
  if (length < name.size()) {
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
      --length;
    }
  }
  std::memset(caps.Name, 0, sizeof caps.Name);
  std::memcpy(caps.Name, name.data(), length);
}

std::string CommonErrorText(MmResult result) {
  switch (result) {
  case kMmNoError: return "The specified command was carried out.";
  case kMmError: return "Undefined external error.";
  case kMmBadDeviceId: return "A device ID has been used that is out of range for your system.";
  case kMmAllocated: return "The specified resource is already in use.";
  case kMmInvalidHandle: return "The specified device handle is invalid.";
  case kMmNoDriver: return "There is no driver installed on your system.";
  case kMmNoMem: return "There is not enough memory available for this task.";
  case kMmInvalidParam: return "An invalid parameter was passed to a system function.";
  case kWaveBadFormat: return "The specified format is not supported or cannot be translated.";
  case kWaveStillPlaying:
    return "This operation cannot be performed while media data is still playing.";
  case kWaveUnprepared: return "The wave header was not prepared.";
  default: return "Unknown error " + std::to_string(result) + ".";
  }
}

}  // namespace tavrin::platform
