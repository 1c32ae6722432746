#include "platform/wave_in.h"

#include <cstring>

#include "base/text.h"

namespace tavrin::platform {

void CopyDeviceName(WaveInCaps& caps, std::string_view name) {
  const std::size_t length = base::Utf8CutLength(name, kDeviceNameBytes - 1);
  std::memset(caps.Name, 0, sizeof caps.Name);
  std::memcpy(caps.Name, name.data(), length);
}

}  // namespace tavrin::platform
