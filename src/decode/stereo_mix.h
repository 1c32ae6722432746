#pragma once
// How a source's channels become the take's two: a gain per channel for each
// side, scaled so that the sum of full-scale inputs stays within full scale.
// Plain C++, any thread.

#include <cstddef>
#include <vector>

namespace tavrin::decode {

class StereoMix {
public:
  // The rule for `channels` channels (at least 1):
  //   1: copied to both sides;  2: kept as they are;
  //   6 (5.1 in the WAV and FLAC order L R C LFE Ls Rs): the ITU downmix
  //      L + 0.707 C + 0.707 Ls and R + 0.707 C + 0.707 Rs, the LFE left out;
  //   any other count: channel 0 to the left, 1 to the right, the rest
  //      averaged into both.
  // Then, when a side's gains add up to more than 1, every gain is divided by
  // the larger sum, so that no mix can go beyond what its inputs reach.
  explicit StereoMix(int channels);

  // Mixes `frames` interleaved frames of `channels` into interleaved stereo
  // `out` (2 x frames). `in` and `out` may be the same array: a frame is read
  // whole before its stereo pair is written, never past it.
  void Mix(const float* in, float* out, std::size_t frames) const;

private:
  int m_channels;
  std::vector<float> m_left;
  std::vector<float> m_right;
};

}  // namespace tavrin::decode
