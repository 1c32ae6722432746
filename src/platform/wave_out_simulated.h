#pragma once
// Simulated wave-output device for tests. Nothing happens on its own: the test
// advances the device's clock by a number of frames, and the device plays the
// queued headers in order, marks each one done after its last frame and keeps
// every byte it played, so a test can compare it with what should be heard.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/wave_out.h"

namespace tavrin::platform {

class SimulatedWaveOut final : public WaveOut {
public:
  // Every following Open fails with this result (kMmNoError to stop failing).
  void SetOpenError(MmResult result) { m_openError = result; }
  // The device breaks, as when the sound server goes away: nothing more plays.
  void Break(MmResult result) { m_deviceError = result; }
  // Volume changed from outside, as by the desktop's mixer.
  void SetVolumeFromOutside(std::uint32_t volume) { m_volume = volume; }

  // Runs the device's clock on by `frames`; plays nothing while closed or broken.
  void Advance(std::uint64_t frames);

  // Everything played since the device was created, in order.
  const std::vector<char>& Played() const { return m_played; }
  void ClearPlayed() { m_played.clear(); }
  bool IsOpen() const { return m_open; }
  std::size_t QueuedHeaders() const { return m_queue.size(); }

  MmResult Open(std::uint32_t deviceId, const WaveFormat& format) override;
  MmResult PrepareHeader(WaveHeader& header) override;
  MmResult Write(WaveHeader& header) override;
  MmResult Reset() override;
  MmResult UnprepareHeader(WaveHeader& header) override;
  MmResult Close() override;
  MmResult GetVolume(std::uint32_t& volume) override;
  MmResult SetVolume(std::uint32_t volume) override;
  std::string GetErrorText(MmResult result) override;
  MmResult DeviceError() override { return m_deviceError; }
  std::uint64_t Underruns() const override { return m_underruns; }

private:
  MmResult m_openError = kMmNoError;
  MmResult m_deviceError = kMmNoError;
  std::uint32_t m_volume = 0xFFFFFFFF;
  std::deque<WaveHeader*> m_queue;
  std::uint32_t m_frontPlayed = 0;  // bytes of the front header already played
  std::vector<char> m_played;
  std::uint64_t m_underruns = 0;
  bool m_dry = true;  // nothing to play since the last underrun (or since Open)
  bool m_open = false;
};

}  // namespace tavrin::platform
