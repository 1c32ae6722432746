#pragma once
// What wave input and wave output share: the result codes and their common
// texts, the 18-byte format record with the one format the program uses, and
// the buffer header a device fills or plays and marks done.
//
// Threading: a backend may work on queued headers from a thread of its own. It
// then writes only a header's data bytes (input), `BytesRecorded` and `Flags`,
// and publishes kWhdrDone with a release store, so a reader that loads `Flags`
// with acquire ordering and sees the mark may touch the header again. `User` is
// the caller's alone.

#include <atomic>
#include <cstdint>
#include <string>

namespace tavrin::platform {

using MmResult = std::uint32_t;

inline constexpr MmResult kMmNoError = 0;
inline constexpr MmResult kMmError = 1;
inline constexpr MmResult kMmBadDeviceId = 2;
inline constexpr MmResult kMmAllocated = 4;
inline constexpr MmResult kMmInvalidHandle = 5;
inline constexpr MmResult kMmNoDriver = 6;
inline constexpr MmResult kMmNoMem = 7;
inline constexpr MmResult kMmInvalidParam = 11;
inline constexpr MmResult kWaveBadFormat = 32;
inline constexpr MmResult kWaveStillPlaying = 33;
inline constexpr MmResult kWaveUnprepared = 34;
// Results at and above this value carry a backend's own error code
// (kMmBackendBase + code); the backend's GetErrorText explains them.
inline constexpr MmResult kMmBackendBase = 0x10000;

inline constexpr std::uint16_t kWaveFormatPcm = 1;

// The program's one capture and playback format: 16-bit stereo PCM at 44100 Hz.
inline constexpr std::uint32_t kFormatRate = 44100;  // Hz
inline constexpr std::uint16_t kFormatChannels = 2;
inline constexpr std::uint16_t kFormatBits = 16;
inline constexpr std::uint16_t kFormatBlockAlign =
    kFormatChannels * kFormatBits / 8;  // bytes a frame
inline constexpr std::uint32_t kFormatBytesPerSecond = kFormatRate * kFormatBlockAlign;

// The 18-byte wave format record; the defaults are the program's one format.
struct WaveFormat {
  std::uint16_t FormatTag = kWaveFormatPcm;
  std::uint16_t Channels = kFormatChannels;
  std::uint32_t SamplesPerSec = kFormatRate;
  std::uint32_t AvgBytesPerSec = kFormatBytesPerSecond;
  std::uint16_t BlockAlign = kFormatBlockAlign;
  std::uint16_t BitsPerSample = kFormatBits;
  std::uint16_t ExtraSize = 0;
};

// The program's one format (the defaults above): the only one our backends open.
bool IsFixedFormat(const WaveFormat& format);

inline constexpr std::uint32_t kWhdrDone = 0x01;
inline constexpr std::uint32_t kWhdrPrepared = 0x02;
inline constexpr std::uint32_t kWhdrInQueue = 0x10;

struct WaveHeader {
  char* Data = nullptr;
  std::uint32_t BufferLength = 0;
  std::atomic<std::uint32_t> BytesRecorded{0};  // input only
  std::uintptr_t User = 0;
  std::atomic<std::uint32_t> Flags{0};
};

// Hands a queued header back: one atomic step, so a reader that sees kWhdrDone
// also sees kWhdrInQueue cleared and, through the release, everything before.
void MarkHeaderDone(WaveHeader& header);

// The backends' shared rules for preparing a header (it needs memory) and
// unpreparing it (not while the device still holds it).
MmResult PrepareWaveHeader(WaveHeader& header);
MmResult UnprepareWaveHeader(WaveHeader& header);

// Text of the results every backend shares (kMmNoError .. kWaveUnprepared).
std::string CommonErrorText(MmResult result);

}  // namespace tavrin::platform
