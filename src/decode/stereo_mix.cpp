#include "decode/stereo_mix.h"

#include <algorithm>
#include <numeric>

namespace tavrin::decode {

namespace {

constexpr float kMinus3dB = 0.70710678f;
// A centre behind or above the listener: -3 dB as a surround, and -3 dB again
// for being split into two sides.
constexpr float kSplitSurround = 0.5f;

struct Gains {
  float Left;
  float Right;
};

Gains GainsOf(Speaker speaker) {
  switch (speaker) {
  case Speaker::FrontLeft:
  case Speaker::FrontLeftOfCenter: return {1.0f, 0.0f};
  case Speaker::FrontRight:
  case Speaker::FrontRightOfCenter: return {0.0f, 1.0f};
  case Speaker::FrontCenter: return {kMinus3dB, kMinus3dB};
  case Speaker::BackLeft:
  case Speaker::SideLeft:
  case Speaker::TopFrontLeft:
  case Speaker::TopBackLeft: return {kMinus3dB, 0.0f};
  case Speaker::BackRight:
  case Speaker::SideRight:
  case Speaker::TopFrontRight:
  case Speaker::TopBackRight: return {0.0f, kMinus3dB};
  case Speaker::BackCenter:
  case Speaker::TopCenter:
  case Speaker::TopFrontCenter:
  case Speaker::TopBackCenter: return {kSplitSurround, kSplitSurround};
  case Speaker::LowFrequency:
  case Speaker::Unknown: break;
  }
  return {0.0f, 0.0f};
}

}  // namespace

StereoMix::StereoMix(int channels, const std::vector<Speaker>& speakers)
    : m_channels(std::max(channels, 1)), m_left(m_channels, 0.0f), m_right(m_channels, 0.0f) {
  const bool placed =
      speakers.size() == static_cast<std::size_t>(m_channels) &&
      std::find(speakers.begin(), speakers.end(), Speaker::Unknown) == speakers.end();
  if (m_channels <= 2) {
    m_left[0] = 1.0f;
    m_right[m_channels - 1] = 1.0f;
  } else if (placed) {
    for (int channel = 0; channel < m_channels; ++channel) {
      const Gains gains = GainsOf(speakers[channel]);
      m_left[channel] = gains.Left;
      m_right[channel] = gains.Right;
    }
  } else {
    m_even = true;
    std::fill(m_left.begin(), m_left.end(), 1.0f);
    std::fill(m_right.begin(), m_right.end(), 1.0f);
  }
  const float sum = std::max(std::accumulate(m_left.begin(), m_left.end(), 0.0f),
                             std::accumulate(m_right.begin(), m_right.end(), 0.0f));
  if (sum > 1.0f) {
    for (float& gain : m_left) gain /= sum;
    for (float& gain : m_right) gain /= sum;
  }
}

void StereoMix::Mix(const float* in, float* out, std::size_t frames) const {
  if (m_channels == 2) {
    if (in != out) std::copy(in, in + 2 * frames, out);
    return;
  }
  if (m_channels == 1) {
    // Backwards, so that the mono samples are read before the stereo ones overwrite them.
    for (std::size_t i = frames; i-- > 0;) out[2 * i] = out[2 * i + 1] = in[i];
    return;
  }
  for (std::size_t i = 0; i < frames; ++i) {
    const float* frame = in + i * m_channels;
    float left = 0.0f;
    float right = 0.0f;
    for (int channel = 0; channel < m_channels; ++channel) {
      left += m_left[channel] * frame[channel];
      right += m_right[channel] * frame[channel];
    }
    out[2 * i] = left;
    out[2 * i + 1] = right;
  }
}

}  // namespace tavrin::decode
