#pragma once
// Sound-activated recording: decides, buffer by buffer in the order they were
// captured, which audio a take keeps. While it waits, the last buffers stay
// in a ring in memory; the buffer whose peak reaches the threshold starts an
// event, and the ring (the pre-roll) is kept ahead of it, so the take begins
// that many buffers before the sound did. An event lasts until the hangover
// has passed in silence after its last loud buffer; the silence it waited
// through is kept.

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

namespace tavrin::schedule {

inline constexpr std::int32_t kDefaultThresholdDb = -40;
inline constexpr std::int32_t kLowestThresholdDb = -60;
inline constexpr double kDefaultPreRollSeconds = 2.0;
inline constexpr double kLongestPreRollSeconds = 10.0;
inline constexpr double kDefaultHangoverSeconds = 3.0;
inline constexpr double kShortestHangoverSeconds = 0.5;
inline constexpr double kLongestHangoverSeconds = 30.0;

// What silence longer than the hangover does.
enum class SilenceAction {
  Pause = 0,  // one take; the silences are left out
  Split = 1,  // every event is a take (and a file) of its own
};

struct TriggerSettings {
  bool Enabled = false;
  std::int32_t ThresholdDb = kDefaultThresholdDb;    // dBFS, -60..0
  double PreRollSeconds = kDefaultPreRollSeconds;    // 0..10
  double HangoverSeconds = kDefaultHangoverSeconds;  // 0.5..30
  SilenceAction Silence = SilenceAction::Pause;

  friend bool operator==(const TriggerSettings&, const TriggerSettings&) = default;
};

// Why the values cannot be used, in the user's words; empty when they can.
std::string TriggerProblem(const TriggerSettings& settings);

// Where the kept audio goes (the recorder appends it to the take).
class TriggerSink {
public:
  virtual ~TriggerSink() = default;
  virtual void EventStarted() = 0;
  // One whole buffer, in order.
  virtual void Keep(std::span<const std::uint8_t> buffer) = 0;
  virtual void EventEnded() = 0;
};

enum class TriggerPhase {
  Waiting,  // for sound
  Sounding,
  Silence,  // within the hangover
};

// The peak of a buffer of 16-bit little-endian samples (any channel count),
// as a magnitude 0..32768.
std::int32_t BufferPeak(std::span<const std::uint8_t> buffer);
// The smallest peak that reaches `thresholdDb`.
std::int32_t ThresholdPeak(std::int32_t thresholdDb);

class SoundTrigger {
public:
  // `buffersPerSecond`: the capture's buffer rate (10 for 0.1 s buffers).
  SoundTrigger(const TriggerSettings& settings, double buffersPerSecond);

  // The next captured buffer (every buffer once, in order).
  void Feed(std::span<const std::uint8_t> buffer, TriggerSink& sink);
  // The stream broke (the device was opened again): what the ring holds is no
  // longer just before what comes next. An event under way ends.
  void Restart(TriggerSink& sink);
  // The session ends (Stop, the timer's end): an event under way ends.
  void Finish(TriggerSink& sink);

  TriggerPhase Phase() const { return m_phase; }
  std::int32_t PreRollBuffers() const { return m_preRollBuffers; }
  std::int32_t HangoverBuffers() const { return m_hangoverBuffers; }

private:
  void EndEvent(TriggerSink& sink);

  TriggerSettings m_settings;
  std::int32_t m_thresholdPeak = 0;
  std::int32_t m_preRollBuffers = 0;
  std::int32_t m_hangoverBuffers = 1;
  TriggerPhase m_phase = TriggerPhase::Waiting;
  std::int32_t m_silentBuffers = 0;
  // The newest buffers, oldest first, at most the pre-roll's count; the last
  // `m_unkept` of them were not kept. Buffers are reused as they leave, so a
  // long wait allocates nothing.
  std::deque<std::vector<std::uint8_t>> m_ring;
  std::vector<std::vector<std::uint8_t>> m_spare;
  std::size_t m_unkept = 0;
};

}  // namespace tavrin::schedule
