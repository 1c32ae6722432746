#pragma once
// Simulated wave-input device for tests. Nothing happens on its own: the test
// advances the device's clock by a number of frames, and the device fills the
// queued headers in order from a signal source, exactly as a driver would,
// dropping (and counting) what arrives while no header is queued.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/wave_in.h"

namespace tavrin::platform {

class SimulatedWaveIn final : public WaveIn {
public:
  // Produces frame number `frame` of the device's lifetime (counted over every
  // frame the device has produced while started, kept or dropped).
  using SignalSource =
      std::function<void(std::uint64_t frame, std::int16_t& left, std::int16_t& right)>;

  // The first device listed is the system's default.
  struct Device {
    std::string Name;  // the description: what the capability record carries
    std::uint32_t Formats = kWaveFormatAll;
    std::uint16_t Channels = 2;
    std::string Id{};                 // the stable name; empty: the same as Name
    std::string MonitorOf{};          // not empty: the monitor of this output
    MmResult OpenError = kMmNoError;  // every Open of this device fails with it
  };

  SimulatedWaveIn();

  // The default source: the left sample holds bits 0..15 of the frame index and
  // the right sample bits 16..31, so order and loss show in the recorded data.
  static void IndexPattern(std::uint64_t frame, std::int16_t& left, std::int16_t& right);

  // A source opened by its name (SelectSource) that leaves the list breaks
  // the open device, as a source going away does.
  void SetDevices(std::vector<Device> devices);
  void SetSignal(SignalSource source) { m_source = std::move(source); }
  // Every following Open fails with this result (kMmNoError to stop failing).
  void SetOpenError(MmResult result) { m_openError = result; }
  // The system cannot be asked: GetNumDevs answers 0 and ListError this.
  void SetListError(MmResult result) { m_listError = result; }
  // The open device breaks (the server went away): it stops filling headers
  // and DeviceError answers this until it is closed.
  void Break(MmResult result) { m_deviceError = result; }
  // Frames the system dropped while the reader was late, counted in
  // DroppedFrames: gone from the signal too, as from a real stream.
  void DropFrames(std::uint64_t frames) {
    m_droppedFrames += frames;
    m_framesProduced += frames;
  }

  enum class Call { PrepareHeader, AddBuffer, Start };
  // The call fails with `result`, once, after `successes` more successful calls of its kind.
  void FailCall(Call call, MmResult result, int successes = 0) {
    m_failCall = call;
    m_failResult = result;
    m_failAfter = successes;
  }

  // The device's clock against the test's: Advance(n) then produces n x ratio
  // frames, the fraction carried to the next call (1 by default).
  void SetClockRatio(double ratio);
  // The test's clock is the capture clock: a frame is captured when the
  // test's clock reaches it, less this latency (0 by default). The signal is
  // not moved: a test gives the device its signal as that late.
  void SetLatencyFrames(std::int64_t frames) { m_latencyFrames = frames; }
  // Runs the test's clock on by `frames`; does nothing while stopped.
  void Advance(std::uint64_t frames);

  std::uint64_t FramesProduced() const { return m_framesProduced; }
  bool IsOpen() const { return m_open; }
  bool IsStarted() const { return m_started; }
  std::size_t QueuedHeaders() const { return m_queue.size(); }
  int OpenCount() const { return m_openCount; }
  // The stable name of the source open, or of the last one opened.
  const std::string& OpenSource() const { return m_openSource; }

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
  std::uint64_t DroppedFrames() const override { return m_droppedFrames; }
  MmResult ListError() override { return m_listError; }
  MmResult DeviceError() override { return m_open ? m_deviceError : kMmNoError; }
  std::vector<SourceInfo> Sources() override;
  void SelectSource(const std::string& name) override { m_selected = name; }
  bool CaptureTime(std::uint64_t frame, std::int64_t& usec) override;

private:
  // Whether the injected failure hits this call now (it then fails with m_failResult).
  bool FailsNow(Call call);
  // Device `deviceId` as the system numbers them: the selected source first
  // while it is listed. Null when there is no such device.
  const Device* Numbered(std::uint32_t deviceId) const;

  std::vector<Device> m_devices;
  std::string m_selected;
  std::string m_openSource;
  bool m_openByName = false;
  SignalSource m_source;
  MmResult m_openError = kMmNoError;
  Call m_failCall = Call::Start;
  MmResult m_failResult = kMmNoError;
  int m_failAfter = 0;
  MmResult m_listError = kMmNoError;
  MmResult m_deviceError = kMmNoError;
  std::deque<WaveHeader*> m_queue;
  std::uint32_t m_fillBytes = 0;  // bytes already in the front header
  std::uint64_t m_framesProduced = 0;
  double m_clockRatio = 1.0;
  std::int64_t m_latencyFrames = 0;
  std::uint64_t m_ticks = 0;        // of the test's clock, since the device was made
  std::uint64_t m_startTicks = 0;   // at the last Start
  std::uint64_t m_clockTicks = 0;   // frames of the test's clock since the ratio was set
  std::uint64_t m_clockFrames = 0;  // frames produced for them
  std::uint64_t m_droppedFrames = 0;
  bool m_open = false;
  bool m_started = false;
  int m_openCount = 0;
};

}  // namespace tavrin::platform
