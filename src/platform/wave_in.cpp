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

}  // namespace tavrin::platform
