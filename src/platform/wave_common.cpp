#include "platform/wave_common.h"

namespace tavrin::platform {

bool IsFixedFormat(const WaveFormat& format) {
  const WaveFormat fixed;
  return format.FormatTag == fixed.FormatTag && format.Channels == fixed.Channels &&
         format.SamplesPerSec == fixed.SamplesPerSec &&
         format.BitsPerSample == fixed.BitsPerSample && format.BlockAlign == fixed.BlockAlign &&
         format.AvgBytesPerSec == fixed.AvgBytesPerSec;
}

void MarkHeaderDone(WaveHeader& header) {
  std::uint32_t flags = header.Flags.load(std::memory_order_relaxed);
  while (!header.Flags.compare_exchange_weak(flags, (flags & ~kWhdrInQueue) | kWhdrDone,
                                             std::memory_order_acq_rel,
                                             std::memory_order_relaxed)) {
  }
}

MmResult PrepareWaveHeader(WaveHeader& header) {
  if (header.Data == nullptr || header.BufferLength == 0) return kMmInvalidParam;
  header.Flags.fetch_or(kWhdrPrepared);
  return kMmNoError;
}

MmResult UnprepareWaveHeader(WaveHeader& header) {
  if ((header.Flags.load() & kWhdrInQueue) != 0) return kWaveStillPlaying;
  header.Flags.fetch_and(~kWhdrPrepared);
  return kMmNoError;
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
