#pragma once
// One wave-input device made of two sources: the caller sees the first, with
// the second's audio combined into every buffer. The second runs on a clock of
// its own; its audio is resampled onto the first's clock as it goes (see
// DriftResampler), so the two keep in step for hours.
//
// The two are put in step by when each device says it captured its audio
// (CaptureTime), once both know, shortly after the start: so what reaches
// both sources at one moment lands at one moment of the take, whatever each
// server and device hold back.
//
// Without a second source the device is the first one, call for call. With
// one, the first fills headers of ours, and Pump, on the caller's thread, fills
// the caller's headers from them and the second's resampled audio, marking
// them done as a driver would. The second never stops the take: while it is
// missing, broken or late its part is silence (counted in SecondFillFrames),
// and it is opened again when its source is listed again.
//
// The two backends must not share a source choice: a PulseWaveIn's is its
// connection's, so the second one needs a connection of its own.
//
// Threading: the caller's thread only, as for every WaveIn.

#include <cstdint>
#include <deque>
#include <string>

#include "platform/drift_resampler.h"
#include "platform/header_ring.h"
#include "platform/wave_in.h"

namespace tavrin::platform {

// How the two sources share the take's two channels.
enum class PairMode {
  // Each source keeps its stereo image, scaled by its gain; the sum is limited
  // to the 16-bit range (a limited sample reads as clipped on the meters).
  Mixed,
  // The first source's mono mix (left and right averaged) in the left channel,
  // the second's in the right, each scaled by its gain: one source a channel,
  // whether a source is a mono microphone or a stereo monitor.
  SideBySide,
};

class PairedWaveIn final : public WaveIn {
public:
  PairedWaveIn(WaveIn& first, WaveIn& second);
  ~PairedWaveIn() override;
  PairedWaveIn(const PairedWaveIn&) = delete;
  PairedWaveIn& operator=(const PairedWaveIn&) = delete;

  // The second source by its stable name, from the next Open on; an empty
  // name records the first alone. The mode and the gains (dB, -infinity ..
  // +6; -infinity is silence) apply from the next buffer.
  void SetSecond(const std::string& sourceName, PairMode mode, double firstGainDb,
                 double secondGainDb);
  // The second source's audio comes this many frames later (earlier when
  // negative) than it was captured: for a delay the devices do not report
  // (a microphone across the room, say). From the next Start or reopening
  // of the second source on.
  void SetStartOffset(std::int64_t frames) { m_startOffset = frames; }

  // Whether the second source delivers now.
  bool SecondPresent() const { return m_secondPresent; }
  // Frames of the take in which the second source's part is silence because
  // it was missing, broken, late or lost audio, since this device was made.
  std::uint64_t SecondFillFrames() const { return m_fillFrames + m_resampler.SilenceFrames(); }
  // Largest magnitude of each source (before its gain) in the last buffer
  // handed back, 0 .. 32768.
  int FirstPeak() const { return m_firstPeak; }
  int SecondPeak() const { return m_secondPeak; }
  // Second-source frames per first-source frame, as the resampler runs now.
  double SecondClockRatio() const { return m_resampler.Ratio(); }
  // Frames the second was moved by to stand beside the first by when each
  // was captured (later when positive), at its last start; 0 until then.
  std::int64_t AlignShiftFrames() const { return m_alignShift; }

  void Pump() override;

  std::uint32_t GetNumDevs() override { return m_first.GetNumDevs(); }
  MmResult GetDevCaps(std::uint32_t deviceId, WaveInCaps& caps) override {
    return m_first.GetDevCaps(deviceId, caps);
  }
  MmResult Open(std::uint32_t deviceId, const WaveFormat& format) override;
  MmResult PrepareHeader(WaveHeader& header) override;
  MmResult AddBuffer(WaveHeader& header) override;
  MmResult Start() override;
  MmResult Reset() override;
  MmResult UnprepareHeader(WaveHeader& header) override;
  MmResult Close() override;
  std::string GetErrorText(MmResult result) override { return m_first.GetErrorText(result); }
  std::uint64_t DroppedFrames() const override { return m_first.DroppedFrames(); }
  MmResult ListError() override { return m_first.ListError(); }
  MmResult DeviceError() override { return m_first.DeviceError(); }
  std::vector<SourceInfo> Sources() override { return m_first.Sources(); }
  void SelectSource(const std::string& name) override { m_first.SelectSource(name); }

private:
  void OpenSecond();
  void CloseSecond();
  // Moves what the second source handed back into the resampler.
  void DrainSecond();
  // Fills the caller's headers from the first source's frames and as many
  // resampled frames of the second. `flush`: also what the second has not
  // covered yet, with silence for it.
  void Deliver(bool flush);
  void Combine(const std::int16_t* first, const float* second, std::size_t frames,
               std::int16_t* out);
  void CompleteFront();
  // Once after each start of the second: moves it to where its capture
  // times say it belongs, when both devices know them.
  void AlignByCaptureTimes();

  WaveIn& m_first;
  WaveIn& m_second;
  std::string m_secondName;
  PairMode m_mode = PairMode::Mixed;
  float m_firstGain = 1;
  float m_secondGain = 1;
  std::int64_t m_startOffset = 0;

  bool m_paired = false;  // decided at Open: a second source was named
  bool m_open = false;
  bool m_started = false;
  bool m_secondPresent = false;
  HeaderRing m_firstRing;
  HeaderRing m_secondRing;
  DriftResampler m_resampler;
  std::deque<WaveHeader*> m_queue;  // the caller's, in the order added
  std::uint32_t m_fillBytes = 0;    // already in the front one
  std::uint64_t m_firstDroppedSeen = 0;
  std::uint64_t m_secondDroppedSeen = 0;
  std::uint64_t m_fillFrames = 0;
  // Device frames since each one's Start (lost ones too): the first's taken
  // into the take, the second's put into the resampler.
  std::uint64_t m_firstFrames = 0;
  std::uint64_t m_secondFrames = 0;
  bool m_aligned = false;
  std::int64_t m_alignShift = 0;  // what the last alignment moved the second by
  std::uint64_t m_framesSinceRetry = 0;
  int m_headerFirstPeak = 0;
  int m_headerSecondPeak = 0;
  int m_firstPeak = 0;
  int m_secondPeak = 0;
};

}  // namespace tavrin::platform
