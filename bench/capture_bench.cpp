// Time to process one captured 0.1 s buffer: split with DC subtraction, clip
// check, extremes into the peak table, channel means.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "capture/recorder_state.h"
#include "capture/signal_processing.h"

using namespace tavrin::capture;

int main() {
  RecorderState state;
  state.AllocateCaptureMemory();
  state.DcOffsetLeft = 37;
  state.DcOffsetRight = -12;
  // A loud two-tone signal in every ring buffer.
  for (int i = 0; i < kRingBuffers * kFramesPerBuffer; ++i) {
    const auto left = static_cast<std::int16_t>(20000 * std::sin(i * 0.0712));
    const auto right = static_cast<std::int16_t>(15000 * std::sin(i * 0.1234));
    std::memcpy(state.CaptureMemory.data() + 4 * i, &left, 2);
    std::memcpy(state.CaptureMemory.data() + 4 * i + 2, &right, 2);
  }
  constexpr int kBuffersPerRound = 4000;
  double best = 1e9;
  double checksum = 0;
  for (int round = 0; round < 15; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kBuffersPerRound; ++n) {
      state.CurrentBuffer = n % kRingBuffers;
      state.WaveHeaders[state.CurrentBuffer].User = 1 + n % 1000;
      SplitBuffer(state);
      StoreBufferPeaks(state);
      ComputeChannelMeans(state);
      checksum += state.MeanLeft + state.MaxRight;
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count() / kBuffersPerRound);
  }
  std::printf("capture_buffer_us: %.2f us\n", best);
  std::printf("capture_buffer_share_of_real_time: %.4f %%\n", best / 100000.0 * 100.0);
  return checksum == 12345.678 ? 1 : 0;  // keeps the work from being optimised away
}
