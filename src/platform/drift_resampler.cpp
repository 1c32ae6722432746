#include "platform/drift_resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <span>

namespace tavrin::platform {

namespace {

constexpr double kRate = 44100;
// The controller: a second-order loop, critically damped, with a natural
// frequency of 0.1 rad/s. A constant clock difference is taken up by the
// integral in a minute or so, with a lag of about 50 frames at 300 ppm on
// the way, and the jitter of the streams' bursts moves the pitch by far less
// than anyone hears.
constexpr double kNaturalFrequency = 0.1;  // rad/s
constexpr double kProportional = 2 * kNaturalFrequency / kRate;
constexpr double kIntegral = kNaturalFrequency * kNaturalFrequency / (kRate * kRate);
constexpr double kSmoothingFrames = kRate / 2;
// Clocks of sound hardware differ by hundreds of ppm at most; the limits keep
// a disturbed loop from bending the pitch audibly.
constexpr double kMaxCorrection = 0.005;
constexpr double kMaxIntegral = 0.004;
// A lead this far off its target is a fault of a stream, not a clock: a burst
// arriving late or a loss not reported. It is put right at once.
constexpr double kResyncFrames = kRate / 5;
// Highest ratio the variable-rate resampler is made for.
constexpr double kMaxRatio = 2.0;

}  // namespace

DriftResampler::DriftResampler() {
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_VR);
  // One thread: the caller's. The sound server and the window keep the others.
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t error = nullptr;
  m_soxr = soxr_create(kMaxRatio, 1, 2, &error, &io, &quality, &runtime);
  if (error != nullptr || m_soxr == nullptr) m_error = error != nullptr ? error : "soxr_create";
  // How many frames the filter holds back, measured: the variable-rate mode's
  // soxr_delay answers less than it holds, which would leave the second stream
  // a few milliseconds late.
  Restart(0, 0);
  constexpr std::size_t kProbeFrames = 16384;
  PushSilence(kProbeFrames);
  m_silenceFrames = 0;
  m_heldFrames = static_cast<double>(kProbeFrames) - static_cast<double>(Available());
  Restart(0, 0);
}

DriftResampler::~DriftResampler() {
  if (m_soxr != nullptr) soxr_delete(m_soxr);
}

void DriftResampler::Restart(std::int64_t leadFrames, std::int64_t targetFrames) {
  if (m_soxr != nullptr) {
    soxr_clear(m_soxr);
    soxr_set_io_ratio(m_soxr, 1.0, 0);
  }
  m_queue.clear();
  m_read = 0;
  m_skipFrames = leadFrames < 0 ? static_cast<std::size_t>(-leadFrames) : 0;
  if (leadFrames > 0) m_queue.assign(2 * static_cast<std::size_t>(leadFrames), 0.0F);
  m_target = targetFrames;
  m_smoothed = 0;
  m_integral = 0;
  m_ratio = 1.0;
}

void DriftResampler::Push(const std::int16_t* stereo, std::size_t frames) {
  m_in.resize(2 * frames);
  for (std::size_t i = 0; i < 2 * frames; ++i) m_in[i] = static_cast<float>(stereo[i]) / 32768.0F;
  Convert(m_in.data(), frames);
}

void DriftResampler::PushSilence(std::size_t frames) {
  m_silenceFrames += frames;
  m_in.assign(2 * frames, 0.0F);
  Convert(m_in.data(), frames);
}

void DriftResampler::Flush() {
  // Silence behind the stream's last frame pushes them through the filter.
  m_in.assign(2 * static_cast<std::size_t>(m_heldFrames + 64), 0.0F);
  Convert(m_in.data(), m_in.size() / 2);
}

void DriftResampler::Convert(const float* stereo, std::size_t frames) {
  if (m_soxr == nullptr) return;
  while (frames > 0) {
    const std::size_t space = static_cast<std::size_t>(static_cast<double>(frames) / m_ratio) + 64;
    const std::size_t end = m_queue.size();
    m_queue.resize(end + 2 * space);
    std::size_t used = 0;
    std::size_t made = 0;
    const soxr_error_t error =
        soxr_process(m_soxr, stereo, frames, &used, m_queue.data() + end, space, &made);
    m_queue.resize(end + 2 * made);
    if (error != nullptr) {
      m_error = error;
      return;
    }
    for (float& sample : std::span(m_queue).subspan(end)) sample *= 32768.0F;
    stereo += 2 * used;
    frames -= used;
    if (used == 0 && made == 0) break;
  }
  if (m_skipFrames > 0) {
    const std::size_t skipped = std::min(m_skipFrames, Available());
    m_skipFrames -= skipped;
    m_read += 2 * skipped;
  }
  Compact();
}

void DriftResampler::Take(std::size_t frames) {
  m_read += 2 * std::min(frames, Available());
  Compact();
}

void DriftResampler::Skip(std::size_t frames) {
  // The newest frames queued are those that arrived while the first stream lost its own.
  const std::size_t now = std::min(frames, Available());
  m_queue.resize(m_queue.size() - 2 * now);
  m_skipFrames += frames - now;
}

void DriftResampler::Shift(std::int64_t frames) {
  if (frames > 0) {
    // Not a loss: the stream's own audio simply starts later.
    m_queue.insert(m_queue.begin() + static_cast<std::ptrdiff_t>(m_read),
                   2 * static_cast<std::size_t>(frames), 0.0F);
  } else if (frames < 0) {
    const auto drop = static_cast<std::size_t>(-frames);
    const std::size_t now = std::min(drop, Available());
    Take(now);
    m_skipFrames += drop - now;
  }
  m_target += frames;
}

void DriftResampler::Compact() {
  if (m_read == m_queue.size()) {
    m_queue.clear();
    m_read = 0;
  } else if (m_read > 1 << 16 && m_read > m_queue.size() / 2) {
    m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(m_read));
    m_read = 0;
  }
}

void DriftResampler::Steer(std::size_t frames, std::size_t firstBacklog) {
  if (m_soxr == nullptr) return;
  // What the resampler holds counts as queued: it comes out as more arrives.
  const double lead = Lead() - static_cast<double>(firstBacklog);
  const double error = lead - static_cast<double>(m_target);
  if (error > kResyncFrames) {
    Take(static_cast<std::size_t>(error));
    m_smoothed = 0;
  } else if (error < -kResyncFrames) {
    m_silenceFrames += static_cast<std::uint64_t>(-error);
    // The first stream's oldest waiting frames are older than anything queued here.
    m_queue.insert(m_queue.begin() + static_cast<std::ptrdiff_t>(m_read),
                   2 * static_cast<std::size_t>(-error), 0.0F);
    m_smoothed = 0;
  } else {
    const double step = static_cast<double>(frames);
    m_smoothed += (error - m_smoothed) * std::min(1.0, step / kSmoothingFrames);
    m_integral =
        std::clamp(m_integral + kIntegral * m_smoothed * step, -kMaxIntegral, kMaxIntegral);
  }
  m_ratio =
      1.0 + std::clamp(kProportional * m_smoothed + m_integral, -kMaxCorrection, kMaxCorrection);
  soxr_set_io_ratio(m_soxr, m_ratio, frames);
}

}  // namespace tavrin::platform
