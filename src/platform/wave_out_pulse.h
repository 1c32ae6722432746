#pragma once
// Wave output to a PulseAudio server (or PipeWire's PulseAudio server): a
// playback stream on the default sink. A header is marked done once the
// server has played its last byte, judged from the stream's timing (read
// position less the sink's latency, carried forward by the clock), so done
// marks never run ahead of what is heard. The volume word is this stream's
// own volume, the one the desktop's mixer shows for it.

#include <memory>
#include <string>

#include "platform/wave_out.h"

namespace tavrin::platform {

class PulseConnection;

class PulseWaveOut final : public WaveOut {
public:
  explicit PulseWaveOut(std::string applicationName = "Tavrin Recorder");
  // On a connection shared with the program's other PulseAudio users.
  explicit PulseWaveOut(std::shared_ptr<PulseConnection> connection);
  ~PulseWaveOut() override;
  PulseWaveOut(const PulseWaveOut&) = delete;
  PulseWaveOut& operator=(const PulseWaveOut&) = delete;

  MmResult Open(std::uint32_t deviceId, const WaveFormat& format) override;
  MmResult PrepareHeader(WaveHeader& header) override;
  MmResult Write(WaveHeader& header) override;
  MmResult Reset() override;
  MmResult UnprepareHeader(WaveHeader& header) override;
  MmResult Close() override;
  MmResult GetVolume(std::uint32_t& volume) override;
  MmResult SetVolume(std::uint32_t volume) override;
  std::string GetErrorText(MmResult result) override;
  MmResult DeviceError() override;
  std::uint64_t Underruns() const override;

  // The server's index of our stream (its sink input), for tools that look at
  // it from outside; -1 while closed.
  std::int64_t StreamIndex();

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace tavrin::platform
