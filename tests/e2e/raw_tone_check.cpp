// raw_tone_check <raw take>: exits 0 when both channels hold the private
// daemon's 1 kHz tone at its level, without a break anywhere.
#include <cmath>
#include <cstdio>

#include "tone_check.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: raw_tone_check <raw take>\n");
    return 2;
  }
  const tavrin::testing::StereoSamples samples = tavrin::testing::ReadRawTake(argv[1]);
  if (samples.Left.empty()) {
    std::fprintf(stderr, "%s holds no audio\n", argv[1]);
    return 1;
  }
  bool tone = true;
  for (const auto* channel : {&samples.Left, &samples.Right}) {
    const double level = tavrin::testing::ToneLevelDb(*channel);
    const double residual = tavrin::testing::WorstToneResidual(*channel);
    std::printf("%.2f s, level %.2f dB, worst residual %.1f\n",
                static_cast<double>(channel->size()) / 44100, level, residual);
    tone = tone && std::abs(level) < 0.5 && residual < 40.0;
  }
  return tone ? 0 : 1;
}
