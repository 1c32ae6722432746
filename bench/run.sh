#!/usr/bin/env bash
# Builds in Release and runs the benchmarks; prints one "name: value unit"
# line per figure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps"
cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=ON >/dev/null
cmake --build "$root/build-release" -j"$(nproc)" >/dev/null
"$root/build-release/bin/capture_bench"
"$root/bench/wav_bench.sh"
"$root/bench/mp3_bench.sh"
"$root/bench/flac_opus_bench.sh"
"$root/bench/decode_bench.sh"
"$root/bench/edit_bench.sh"
"$root/bench/recovery_bench.sh"
"$root/bench/recorder_bench.sh"
"$root/build-release/bin/waveform_bench"
"$root/build-release/bin/editor_window_bench"
"$root/bench/playback_bench.sh"
"$root/bench/recorder_gap_bench.sh"
