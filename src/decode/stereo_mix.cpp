#include "decode/stereo_mix.h"

#include <algorithm>
#include <numeric>

namespace tavrin::decode {

namespace {

constexpr float kMinus3dB = 0.70710678f;

}  // namespace

StereoMix::StereoMix(int channels)
    : m_channels(std::max(channels, 1)), m_left(m_channels, 0.0f), m_right(m_channels, 0.0f) {
  if (m_channels == 1) {
    m_left[0] = m_right[0] = 1.0f;
  } else if (m_channels == 6) {
    m_left = {1.0f, 0.0f, kMinus3dB, 0.0f, kMinus3dB, 0.0f};
    m_right = {0.0f, 1.0f, kMinus3dB, 0.0f, 0.0f, kMinus3dB};
  } else {
    m_left[0] = 1.0f;
    m_right[1] = 1.0f;
    for (int channel = 2; channel < m_channels; ++channel) {
      m_left[channel] = m_right[channel] = 1.0f / static_cast<float>(m_channels - 2);
    }
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
