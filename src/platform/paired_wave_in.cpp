#include "platform/paired_wave_in.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace tavrin::platform {

namespace {

// Our headers on each backend: 23 ms each, 5.9 s in all, so that a late poll
// of the caller loses no more than it would on the first device alone.
constexpr std::uint32_t kFramesPerRingHeader = 1024;
constexpr std::size_t kRingHeaders = 256;
// How often a missing second source is looked for.
constexpr std::uint64_t kRetryFrames = 2 * kFormatRate;
// Capture times further apart than this are a device's mistake, not a latency.
constexpr double kMostAlignFrames = kFormatRate;

// Levels run from silence (-infinity) to +6 dB; anything else is held to that.
float GainOf(double db) {
  if (!(db > -200)) return 0.0F;  // -infinity, and NaN
  return std::pow(10.0F, static_cast<float>(std::min(db, 6.0)) / 20);
}

std::int16_t Limit(float value) {
  return static_cast<std::int16_t>(std::clamp(std::lrint(value), -32768L, 32767L));
}

int Magnitude(float sample) {
  return static_cast<int>(std::min(std::fabs(sample), 32768.0F));
}

}  // namespace

PairedWaveIn::PairedWaveIn(WaveIn& first, WaveIn& second)
    : m_first(first),
      m_second(second),
      m_firstRing(kRingHeaders, kFramesPerRingHeader),
      m_secondRing(kRingHeaders, kFramesPerRingHeader) {}

PairedWaveIn::~PairedWaveIn() {
  if (!m_paired || !m_open) return;
  for (WaveHeader* header : m_queue) MarkHeaderDone(*header);
  m_queue.clear();
  static_cast<void>(Close());
}

void PairedWaveIn::SetSecond(const std::string& sourceName, PairMode mode, double firstGainDb,
                             double secondGainDb) {
  m_secondName = sourceName;
  m_mode = mode;
  m_firstGain = GainOf(firstGainDb);
  m_secondGain = GainOf(secondGainDb);
}

MmResult PairedWaveIn::Open(std::uint32_t deviceId, const WaveFormat& format) {
  if (m_open) return kMmAllocated;
  // The way the device runs changes only with a successful Open: a second
  // Open of a device open alone must leave it alone.
  MmResult result = m_first.Open(deviceId, format);
  if (result != kMmNoError) return result;
  m_paired = !m_secondName.empty();
  if (!m_paired) return kMmNoError;
  result = m_firstRing.Queue(m_first);
  if (result != kMmNoError) {
    static_cast<void>(m_first.Reset());
    m_firstRing.Release(m_first);
    static_cast<void>(m_first.Close());
    return result;
  }
  m_open = true;
  m_started = false;
  m_queue.clear();
  m_fillBytes = 0;
  m_firstDroppedSeen = m_first.DroppedFrames();
  OpenSecond();
  return kMmNoError;
}

void PairedWaveIn::OpenSecond() {
  m_framesSinceRetry = 0;
  const bool listed = m_second.GetNumDevs() > 0 && [this] {
    for (const SourceInfo& source : m_second.Sources()) {
      if (source.Name == m_secondName) return true;
    }
    return false;
  }();
  // Opened only by its name: the system's default in its place would be
  // a different recording under the same label.
  if (!listed || !m_resampler.Error().empty()) return;
  m_second.SelectSource(m_secondName);
  if (m_second.Open(0, WaveFormat{}) != kMmNoError) return;
  m_secondPresent = true;
  if (m_secondRing.Queue(m_second) != kMmNoError || (m_started && m_second.Start() != kMmNoError)) {
    CloseSecond();
    return;
  }
  m_secondDroppedSeen = m_second.DroppedFrames();
  m_secondFrames = 0;
  m_aligned = false;
  // Its first frame belongs beside the newest frame of the first source,
  // until the capture times say better.
  m_resampler.Restart(m_startOffset + static_cast<std::int64_t>(m_firstRing.Backlog()),
                      m_startOffset);
}

void PairedWaveIn::CloseSecond() {
  if (!m_secondPresent) return;
  static_cast<void>(m_second.Reset());
  m_secondRing.Release(m_second);
  static_cast<void>(m_second.Close());
  m_secondPresent = false;
  m_framesSinceRetry = 0;
}

MmResult PairedWaveIn::PrepareHeader(WaveHeader& header) {
  if (!m_paired) return m_first.PrepareHeader(header);
  if (!m_open) return kMmInvalidHandle;
  return PrepareWaveHeader(header);
}

MmResult PairedWaveIn::UnprepareHeader(WaveHeader& header) {
  if (!m_paired) return m_first.UnprepareHeader(header);
  if (!m_open) return kMmInvalidHandle;
  return UnprepareWaveHeader(header);
}

MmResult PairedWaveIn::AddBuffer(WaveHeader& header) {
  if (!m_paired) return m_first.AddBuffer(header);
  if (!m_open) return kMmInvalidHandle;
  if ((header.Flags & kWhdrPrepared) == 0) return kWaveUnprepared;
  header.Flags = (header.Flags & ~kWhdrDone) | kWhdrInQueue;
  m_queue.push_back(&header);
  return kMmNoError;
}

MmResult PairedWaveIn::Start() {
  if (!m_paired) return m_first.Start();
  if (!m_open) return kMmInvalidHandle;
  if (m_started) return kMmNoError;
  const MmResult result = m_first.Start();
  if (result != kMmNoError) return result;
  m_started = true;
  m_firstFrames = 0;
  if (m_secondPresent) {
    if (m_second.Start() != kMmNoError) {
      CloseSecond();
    } else {
      m_secondFrames = 0;
      m_aligned = false;
      m_resampler.Restart(m_startOffset, m_startOffset);
    }
  }
  return kMmNoError;
}

MmResult PairedWaveIn::Reset() {
  if (!m_paired) return m_first.Reset();
  if (!m_open) return kMmInvalidHandle;
  const MmResult result = m_first.Reset();
  if (m_secondPresent) {
    static_cast<void>(m_second.Reset());
    DrainSecond();
    m_resampler.Flush();
  }
  // What the first source captured until now still goes to the caller.
  Deliver(true);
  for (WaveHeader* header : m_queue) {
    header->BytesRecorded.store(header == m_queue.front() ? m_fillBytes : 0,
                                std::memory_order_release);
    MarkHeaderDone(*header);
  }
  m_queue.clear();
  m_fillBytes = 0;
  m_firstRing.Requeue(m_first);
  if (m_secondPresent) m_secondRing.Requeue(m_second);
  m_started = false;
  return result;
}

MmResult PairedWaveIn::Close() {
  if (!m_paired) return m_first.Close();
  if (!m_open) return kMmInvalidHandle;
  if (!m_queue.empty()) return kWaveStillPlaying;
  static_cast<void>(m_first.Reset());
  m_firstRing.Release(m_first);
  const MmResult result = m_first.Close();
  CloseSecond();
  m_open = false;
  m_started = false;
  return result;
}

void PairedWaveIn::Pump() {
  if (!m_paired || !m_open) return;
  // A resampler that failed would hold the take back waiting for it.
  if (m_secondPresent && (m_second.DeviceError() != kMmNoError || !m_resampler.Error().empty())) {
    CloseSecond();
  }
  if (m_secondPresent) {
    DrainSecond();
  } else {
    m_firstFrames += m_first.DroppedFrames() - m_firstDroppedSeen;
    m_firstDroppedSeen = m_first.DroppedFrames();
    if (m_started && m_framesSinceRetry >= kRetryFrames) OpenSecond();
  }
  if (m_secondPresent && m_started && !m_aligned) AlignByCaptureTimes();
  Deliver(false);
}

void PairedWaveIn::AlignByCaptureTimes() {
  std::int64_t firstUsec = 0;
  std::int64_t secondUsec = 0;
  // The first's next frame to be taken, and the second's next to arrive.
  if (!m_first.CaptureTime(m_firstFrames, firstUsec) ||
      !m_second.CaptureTime(m_secondFrames, secondUsec)) {
    return;
  }
  m_aligned = true;
  // Where the second's next frame stands now, against where it belongs.
  const double belongs = static_cast<double>(secondUsec - firstUsec) * kFormatRate / 1e6 +
                         static_cast<double>(m_startOffset);
  const double shift = belongs - m_resampler.Lead();
  if (std::fabs(shift) > kMostAlignFrames) return;
  m_alignShift = std::llround(shift);
  m_resampler.Shift(m_alignShift);
}

void PairedWaveIn::DrainSecond() {
  for (auto frames = m_secondRing.Front(m_second); !frames.empty();
       frames = m_secondRing.Front(m_second)) {
    m_resampler.Push(frames.data(), frames.size() / 2);
    m_secondRing.Take(m_second, frames.size() / 2);
    m_secondFrames += frames.size() / 2;
  }
  // Losses since the last look, after what both delivered before them. What
  // both lost at once (a late poll) is simply gone from the take; what only
  // the second lost becomes silence; what only the first lost, the second
  // loses too, so that it stays beside the first.
  const std::uint64_t firstLost = m_first.DroppedFrames() - m_firstDroppedSeen;
  const std::uint64_t secondLost = m_second.DroppedFrames() - m_secondDroppedSeen;
  m_firstDroppedSeen += firstLost;
  m_secondDroppedSeen += secondLost;
  m_firstFrames += firstLost;
  m_secondFrames += secondLost;
  const std::uint64_t both = std::min(firstLost, secondLost);
  if (secondLost > both) m_resampler.PushSilence(static_cast<std::size_t>(secondLost - both));
  if (firstLost > both) m_resampler.Skip(static_cast<std::size_t>(firstLost - both));
}

void PairedWaveIn::Deliver(bool flush) {
  static const std::vector<float> silence(2 * kFramesPerRingHeader, 0.0F);
  std::size_t delivered = 0;
  while (!m_queue.empty()) {
    const auto first = m_firstRing.Front(m_first);
    if (first.empty()) break;
    WaveHeader& header = *m_queue.front();
    std::size_t frames =
        std::min(first.size() / 2, std::size_t{(header.BufferLength - m_fillBytes) / 4});
    const bool covered = m_secondPresent && m_resampler.Available() > 0;
    if (covered) {
      frames = std::min(frames, m_resampler.Available());
    } else if (m_secondPresent && !flush) {
      break;  // waits for the second; its resampler fills a stall with silence
    } else {
      m_fillFrames += frames;
      m_framesSinceRetry += frames;
    }
    auto* out = reinterpret_cast<std::int16_t*>(header.Data + m_fillBytes);
    Combine(first.data(), covered ? m_resampler.Peek() : silence.data(), frames, out);
    if (covered) m_resampler.Take(frames);
    m_firstRing.Take(m_first, frames);
    m_firstFrames += frames;
    m_fillBytes += static_cast<std::uint32_t>(4 * frames);
    delivered += frames;
    if (m_fillBytes + 4 > header.BufferLength) CompleteFront();
  }
  if (m_secondPresent) m_resampler.Steer(delivered, m_firstRing.Backlog());
}

void PairedWaveIn::Combine(const std::int16_t* first, const float* second, std::size_t frames,
                           std::int16_t* out) {
  for (std::size_t i = 0; i < frames; ++i) {
    const float l1 = first[2 * i];
    const float r1 = first[2 * i + 1];
    const float l2 = second[2 * i];
    const float r2 = second[2 * i + 1];
    m_headerFirstPeak = std::max({m_headerFirstPeak, Magnitude(l1), Magnitude(r1)});
    m_headerSecondPeak = std::max({m_headerSecondPeak, Magnitude(l2), Magnitude(r2)});
    if (m_mode == PairMode::Mixed) {
      out[2 * i] = Limit(m_firstGain * l1 + m_secondGain * l2);
      out[2 * i + 1] = Limit(m_firstGain * r1 + m_secondGain * r2);
    } else {
      out[2 * i] = Limit(m_firstGain * (l1 + r1) / 2);
      out[2 * i + 1] = Limit(m_secondGain * (l2 + r2) / 2);
    }
  }
}

void PairedWaveIn::CompleteFront() {
  WaveHeader& header = *m_queue.front();
  m_queue.pop_front();
  header.BytesRecorded.store(m_fillBytes, std::memory_order_release);
  MarkHeaderDone(header);
  m_fillBytes = 0;
  m_firstPeak = std::exchange(m_headerFirstPeak, 0);
  m_secondPeak = std::exchange(m_headerSecondPeak, 0);
}

}  // namespace tavrin::platform
