#pragma once
// Wave input from a PulseAudio server (or PipeWire's PulseAudio server).
// Device 0 is the selected source while it is listed (SelectSource, kept by
// the connection for every user of it), else the server's default source;
// the other sources follow in the server's order. The stream's read callback, on libpulse's own
// thread, plays the driver: it fills queued headers in order (see platform/wave_in.h).

#include <memory>
#include <string>

#include "platform/wave_in.h"

namespace tavrin::platform {

class PulseConnection;

class PulseWaveIn final : public WaveIn {
public:
  explicit PulseWaveIn(std::string applicationName = "Tavrin Recorder");
  // On a connection shared with the program's other PulseAudio users.
  explicit PulseWaveIn(std::shared_ptr<PulseConnection> connection);
  ~PulseWaveIn() override;
  PulseWaveIn(const PulseWaveIn&) = delete;
  PulseWaveIn& operator=(const PulseWaveIn&) = delete;

  std::uint32_t GetNumDevs() override;
  MmResult GetDevCaps(std::uint32_t deviceId, WaveInCaps& caps) override;
  MmResult Open(std::uint32_t deviceId, const WaveFormat& format) override;
  MmResult PrepareHeader(WaveHeader& header) override;
  MmResult AddBuffer(WaveHeader& header) override;
  MmResult Start() override;
  MmResult Reset() override;
  MmResult UnprepareHeader(WaveHeader& header) override;
  MmResult Close() override;
  std::string GetErrorText(MmResult result) override;
  std::uint64_t DroppedFrames() const override;
  MmResult ListError() override;
  MmResult DeviceError() override;
  std::vector<SourceInfo> Sources() override;
  void SelectSource(const std::string& name) override;
  bool CaptureTime(std::uint64_t frame, std::int64_t& usec) override;

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace tavrin::platform
