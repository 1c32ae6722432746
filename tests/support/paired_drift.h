#pragma once
// Two simulated sources whose clocks run apart, each clicking once a second of
// the test's clock, recorded side by side through a PairedWaveIn for a long
// span without a take file: the first's clicks (left) against the second's
// (right) as buffers come back. Shared by the pairing tests and the benchmark.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/paired_wave_in.h"
#include "platform/wave_in_simulated.h"

namespace tavrin::testing {

struct DriftRun {
  // Offsets of the second's clicks from the first's (moved by the start offset).
  double MaxOffsetMs = 0;           // the largest, either way
  std::vector<double> OffsetsMs;    // at each click, in order
  std::uint64_t MissingClicks = 0;  // clicks of the second not found near the first's
  std::uint64_t FillFrames = 0;
};

struct DriftRunOptions {
  double Seconds = 60;
  double SecondPpm = 300;  // how much faster the second source's clock runs
  // From these moments of the test's clock on (0: never), the second source
  // loses half a second of audio; the pair is not polled for 8 s, so that
  // both sources lose audio.
  double DropAtSeconds = 0;
  double StallAtSeconds = 0;
  // Given to the pair (SetStartOffset); offsets are then measured from it.
  std::int64_t StartOffsetFrames = 0;
  // The second device hands its audio over this much later than the first,
  // and says so.
  std::int64_t SecondLatencyFrames = 0;
};

// Frames of a source at `ratio` to the test's clock: a click at the start of
// every second of the test's clock, else silence; `late` frames later.
inline platform::SimulatedWaveIn::SignalSource ClickEverySecond(double ratio,
                                                                std::int64_t late = 0) {
  // The device asks for its frames in order, so the next click is kept.
  return [ratio, late, second = std::int64_t{0}](std::uint64_t frame, std::int16_t& left,
                                                 std::int16_t& right) mutable {
    const auto at = [&] {
      return std::llround(static_cast<double>(second) * 44100.0 * ratio) + late;
    };
    while (at() < static_cast<std::int64_t>(frame)) ++second;
    left = right = at() == static_cast<std::int64_t>(frame) ? 20000 : 0;
  };
}

inline DriftRun RunDrift(const DriftRunOptions& options) {
  constexpr std::uint32_t kFrames = 4410;
  constexpr int kHeaders = 40;
  platform::SimulatedWaveIn first;
  platform::SimulatedWaveIn second;
  second.SetDevices({{"Line In", platform::kWaveFormatAll, 2, "line"}});
  const double ratio = 1.0 + options.SecondPpm * 1e-6;
  first.SetSignal(ClickEverySecond(1.0));
  second.SetSignal(ClickEverySecond(ratio, options.SecondLatencyFrames));
  second.SetClockRatio(ratio);
  second.SetLatencyFrames(options.SecondLatencyFrames);
  platform::PairedWaveIn pair(first, second);
  pair.SetSecond("line", platform::PairMode::SideBySide, 0, 0);
  pair.SetStartOffset(options.StartOffsetFrames);

  std::vector<std::int16_t> memory(std::size_t{kHeaders} * kFrames * 2);
  auto headers = std::make_unique<platform::WaveHeader[]>(kHeaders);
  pair.Open(0, platform::WaveFormat{});
  for (int i = 0; i < kHeaders; ++i) {
    headers[i].Data = reinterpret_cast<char*>(memory.data() + std::size_t(i) * kFrames * 2);
    headers[i].BufferLength = kFrames * 4;
    pair.PrepareHeader(headers[i]);
    pair.AddBuffer(headers[i]);
  }
  pair.Start();

  DriftRun run;
  // The click nearest each frame of the take: where the second's peaks.
  std::int64_t click = 0;
  std::int64_t bestAt = -1;
  int best = 0;
  // The first source's loss while the pair was not polled, in its frames.
  std::int64_t lossStart = -1;
  std::int64_t lost = 0;
  // Where click m of the first source is in the take; -1: lost with it.
  auto clickAt = [&](std::int64_t m) -> std::int64_t {
    const std::int64_t at = m * 44100;
    if (lossStart < 0 || at < lossStart) return at;
    return at >= lossStart + lost ? at - lost : -1;
  };
  auto closeClick = [&] {
    if (best < 5000) {
      ++run.MissingClicks;
    } else {
      const double ms =
          static_cast<double>(bestAt - clickAt(click) - options.StartOffsetFrames) / 44.1;
      run.OffsetsMs.push_back(ms);
      run.MaxOffsetMs = std::max(run.MaxOffsetMs, std::fabs(ms));
    }
    for (++click; clickAt(click) < 0;) ++click;
    best = 0;
  };
  const auto total = static_cast<std::uint64_t>(options.Seconds * 44100);
  int next = 0;
  std::int64_t frame = 0;  // of the take
  const auto dropAt = static_cast<std::uint64_t>(std::llround(options.DropAtSeconds * 44100));
  const auto stallAt = static_cast<std::uint64_t>(std::llround(options.StallAtSeconds * 44100));
  for (std::uint64_t tick = 0; tick < total; tick += kFrames) {
    const std::uint64_t droppedBefore = first.DroppedFrames();
    first.Advance(kFrames);
    if (const auto fresh = static_cast<std::int64_t>(first.DroppedFrames() - droppedBefore)) {
      // A source whose queue ran dry drops the end of the step.
      if (lossStart < 0) lossStart = static_cast<std::int64_t>(first.FramesProduced()) - fresh;
      lost += fresh;
    }
    // Lost as it comes, as a server reports a loss.
    if (dropAt == 0 || tick < dropAt || tick >= dropAt + 5 * kFrames) {
      second.Advance(kFrames);
    } else {
      second.DropFrames(kFrames);
    }
    if (stallAt > 0 && tick >= stallAt && tick < stallAt + 80 * kFrames) continue;
    pair.Pump();
    while (headers[next].Flags & platform::kWhdrDone) {
      const std::int16_t* samples = memory.data() + std::size_t(next) * kFrames * 2;
      for (std::uint32_t i = 0; i < kFrames; ++i, ++frame) {
        if (frame >= clickAt(click) + 22050) closeClick();
        const int right = std::abs(samples[2 * i + 1]);
        if (right > best) {
          best = right;
          bestAt = frame;
        }
      }
      headers[next].BytesRecorded = 0;
      pair.AddBuffer(headers[next]);
      next = (next + 1) % kHeaders;
    }
  }
  run.FillFrames = pair.SecondFillFrames();
  pair.Reset();
  pair.Close();
  return run;
}

}  // namespace tavrin::testing
