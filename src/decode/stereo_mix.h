#pragma once
// How a source's channels become the take's two: a gain per channel for each
// side, by the loudspeaker each channel is for, scaled so that the sum of
// full-scale inputs stays within full scale. Plain C++, any thread.

#include <cstddef>
#include <vector>

#include "decode/sound_source.h"

namespace tavrin::decode {

class StereoMix {
public:
  // The rule for `channels` channels (at least 1) meant for `speakers` (one
  // per channel, or empty when the file does not say):
  //   1: copied to both sides;  2: kept as they are, whatever the speakers;
  //   3 or more, every one placed: the ITU-R BS.775 downmix, as ffmpeg's
  //      `-ac 2` mixes: front left and right, and those beside the centre,
  //      to their side; the centre to both at -3 dB; back, side and height
  //      channels to their side at -3 dB; a back or height centre to both at
  //      -3 dB twice (0.5); the LFE left out;
  //   3 or more, any of them not placed: every channel evenly into both.
  // Then, when a side's gains add up to more than 1, every gain is divided by
  // the larger sum, so that no mix can go beyond what its inputs reach.
  StereoMix(int channels, const std::vector<Speaker>& speakers);

  // True when 3 or more channels were mixed evenly for want of their speakers.
  bool Even() const { return m_even; }

  // Mixes `frames` interleaved frames of `channels` into interleaved stereo
  // `out` (2 x frames). `in` and `out` may be the same array: a frame is read
  // whole before its stereo pair is written, never past it.
  void Mix(const float* in, float* out, std::size_t frames) const;

private:
  int m_channels;
  bool m_even = false;
  std::vector<float> m_left;
  std::vector<float> m_right;
};

}  // namespace tavrin::decode
