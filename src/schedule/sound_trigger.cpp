#include "schedule/sound_trigger.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavrin::schedule {

namespace {

std::string RangeText(const char* what, double low, double high, const char* unit) {
  char text[160];
  std::snprintf(text, sizeof text, "The %s must be from %g to %g %s.", what, low, high, unit);
  return text;
}

}  // namespace

std::string TriggerProblem(const TriggerSettings& settings) {
  if (settings.ThresholdDb < kLowestThresholdDb || settings.ThresholdDb > 0)
    return RangeText("threshold", kLowestThresholdDb, 0, "dBFS");
  if (!(settings.PreRollSeconds >= 0 && settings.PreRollSeconds <= kLongestPreRollSeconds))
    return RangeText("pre-roll", 0, kLongestPreRollSeconds, "seconds");
  if (!(settings.HangoverSeconds >= kShortestHangoverSeconds &&
        settings.HangoverSeconds <= kLongestHangoverSeconds))
    return RangeText("hangover", kShortestHangoverSeconds, kLongestHangoverSeconds, "seconds");
  return {};
}

std::int32_t BufferPeak(std::span<const std::uint8_t> buffer) {
  std::int32_t peak = 0;
  for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
    const auto sample =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(buffer[i] | (buffer[i + 1] << 8)));
    peak = std::max(peak, std::abs(static_cast<std::int32_t>(sample)));
  }
  return peak;
}

std::int32_t ThresholdPeak(std::int32_t thresholdDb) {
  // 0 dBFS is full scale; a peak reaches the threshold when it is at least this.
  const double peak = 32768.0 * std::pow(10.0, thresholdDb / 20.0);
  return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::ceil(peak - 1e-9)));
}

SoundTrigger::SoundTrigger(const TriggerSettings& settings, double buffersPerSecond)
    : m_settings(settings),
      m_thresholdPeak(ThresholdPeak(settings.ThresholdDb)),
      m_preRollBuffers(
          static_cast<std::int32_t>(std::lround(settings.PreRollSeconds * buffersPerSecond))),
      m_hangoverBuffers(std::max<std::int32_t>(
          1, static_cast<std::int32_t>(std::lround(settings.HangoverSeconds * buffersPerSecond)))) {
}

void SoundTrigger::Feed(std::span<const std::uint8_t> buffer, TriggerSink& sink) {
  const bool loud = BufferPeak(buffer) >= m_thresholdPeak;
  if (m_phase == TriggerPhase::Waiting && loud) {
    sink.EventStarted();
    // Pause keeps one take, so what an earlier event kept is not kept again;
    // a take of its own (Split) gets its whole pre-roll.
    const std::size_t preRoll = m_settings.Silence == SilenceAction::Pause
                                    ? std::min(m_unkept, m_ring.size())
                                    : m_ring.size();
    for (std::size_t i = m_ring.size() - preRoll; i < m_ring.size(); ++i) sink.Keep(m_ring[i]);
    m_phase = TriggerPhase::Sounding;
  }
  if (m_phase != TriggerPhase::Waiting) {
    sink.Keep(buffer);
    if (loud) {
      m_phase = TriggerPhase::Sounding;
      m_silentBuffers = 0;
    } else {
      m_phase = TriggerPhase::Silence;
      if (++m_silentBuffers >= m_hangoverBuffers) EndEvent(sink);
    }
    m_unkept = 0;
  } else {
    ++m_unkept;
  }
  if (m_preRollBuffers == 0) return;
  std::vector<std::uint8_t> copy;
  if (static_cast<std::int32_t>(m_ring.size()) == m_preRollBuffers) {
    copy = std::move(m_ring.front());
    m_ring.pop_front();
  } else if (!m_spare.empty()) {
    copy = std::move(m_spare.back());
    m_spare.pop_back();
  }
  copy.assign(buffer.begin(), buffer.end());
  m_ring.push_back(std::move(copy));
}

void SoundTrigger::EndEvent(TriggerSink& sink) {
  m_phase = TriggerPhase::Waiting;
  m_silentBuffers = 0;
  sink.EventEnded();
}

void SoundTrigger::Restart(TriggerSink& sink) {
  if (m_phase != TriggerPhase::Waiting) EndEvent(sink);
  while (!m_ring.empty()) {
    m_spare.push_back(std::move(m_ring.front()));
    m_ring.pop_front();
  }
  m_unkept = 0;
}

void SoundTrigger::Finish(TriggerSink& sink) {
  Restart(sink);
}

}  // namespace tavrin::schedule
