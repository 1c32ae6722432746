#pragma once
// Wave-input device layer, shaped like the classic multimedia wave-in API so
// that the capture engine can poll buffer headers instead of taking callbacks.
//
// Threading: every method is called from one thread, the owner's (the user-
// interface thread). A backend may fill queued headers from a thread of its
// own; it then writes only the header's data bytes, `BytesRecorded` and
// `Flags`. `BytesRecorded` is published with a release store once the header
// is full (or when Reset hands it back partly filled), so a reader that loads
// it with acquire ordering and sees `BufferLength` may read all the data. The
// caller must not touch a header's data, length or byte count between
// AddBuffer and its completion or Reset; `User` is the caller's alone and may
// be changed at any time.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wave_common.h"

namespace tavrin::platform {

// Supported-format flags: 44.1 kHz 16-bit stereo is the one the recorder needs.
inline constexpr std::uint32_t kWaveFormat4S16 = 0x00000800;
inline constexpr std::uint32_t kWaveFormatAll = 0x000FFFFF;

inline constexpr std::size_t kDeviceNameBytes = 32;  // including the terminating 0

// The 48-byte capability record.
struct WaveInCaps {
  std::uint16_t ManufacturerId = 0;
  std::uint16_t ProductId = 0;
  std::uint32_t DriverVersion = 0;
  char Name[kDeviceNameBytes] = {};
  std::uint32_t Formats = 0;
  std::uint16_t Channels = 0;
  std::uint16_t Reserved = 0;
};
static_assert(sizeof(WaveInCaps) == 48);

// A source the user may record from.
struct SourceInfo {
  std::string Name;  // the system's stable name: what the settings keep
  std::string Description;
  // Records what an output plays; MonitorOf is that output's description.
  bool Monitor = false;
  std::string MonitorOf;
  bool operator==(const SourceInfo&) const = default;
};

class WaveIn {
public:
  virtual ~WaveIn() = default;

  virtual std::uint32_t GetNumDevs() = 0;
  virtual MmResult GetDevCaps(std::uint32_t deviceId, WaveInCaps& caps) = 0;
  // Opens the device for the format; the device starts stopped.
  virtual MmResult Open(std::uint32_t deviceId, const WaveFormat& format) = 0;
  virtual MmResult PrepareHeader(WaveHeader& header) = 0;
  // Queues the header; headers are filled strictly in the order added.
  virtual MmResult AddBuffer(WaveHeader& header) = 0;
  // Starts filling; on a device already started it changes nothing.
  virtual MmResult Start() = 0;
  // Stops filling and hands back every queued header (done, with the bytes it
  // holds). Audio arriving afterwards is not kept.
  virtual MmResult Reset() = 0;
  virtual MmResult UnprepareHeader(WaveHeader& header) = 0;
  virtual MmResult Close() = 0;
  virtual std::string GetErrorText(MmResult result) = 0;
  // Frames the device captured while no header was queued, or that the
  // system dropped because they were read too late, since it was created.
  // They are gone, like with a real driver; the count says how many.
  virtual std::uint64_t DroppedFrames() const = 0;
  // Why the last GetNumDevs could not ask the system (its 0 then means "not
  // known", not "no devices"); kMmNoError when it could.
  virtual MmResult ListError() = 0;
  // Why the open device stopped delivering (the sound server or the device
  // went away); kMmNoError while it works or when none is open.
  virtual MmResult DeviceError() = 0;
  // Every source, in the system's own order, as the last GetNumDevs read them.
  virtual std::vector<SourceInfo> Sources() = 0;
  // Device 0 is the source named `name` while it is listed, else (and for an
  // empty name) the system's default source; from now on, without another
  // GetNumDevs. A source opened by its name is not moved elsewhere by the
  // system: when it goes away the device breaks (DeviceError).
  virtual void SelectSource(const std::string& name) = 0;
  // Lets a device that fills the caller's headers on the caller's thread do
  // that work; the capture calls it at the start of every poll. Devices whose
  // headers are filled by the system have nothing to do here.
  virtual void Pump() {}
  // When the source captured frame `frame` of what the device has handed
  // over since Start (frames it dropped counted too): microseconds on a clock
  // that every device of one kind in this process shares. False while the
  // device does not know (it has not run long enough to ask, or cannot).
  virtual bool CaptureTime(std::uint64_t frame, std::int64_t& usec) {
    static_cast<void>(frame);
    static_cast<void>(usec);
    return false;
  }
};

// Copies a device name into a capability record: at most 31 bytes, cut at a
// UTF-8 character boundary, always terminated.
void CopyDeviceName(WaveInCaps& caps, std::string_view name);

}  // namespace tavrin::platform
