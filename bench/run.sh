#!/usr/bin/env bash
# Builds in Release and runs the benchmarks; prints one "name: value unit"
# line per figure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps"
cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=ON >/dev/null
cmake --build "$root/build-release" -j"$(nproc)" >/dev/null
"$root/build-release/bin/capture_bench"
"$root/build-release/bin/pair_drift_bench"
"$root/bench/in-scratch.sh" wav_bench sox
"$root/bench/mp3_bench.sh"
"$root/bench/in-scratch.sh" flac_opus_bench flac opusenc
"$root/bench/in-scratch.sh" decode_bench flac lame sox ffmpeg
"$root/bench/in-scratch.sh" edit_bench sox
"$root/bench/in-scratch.sh" recovery_bench
"$root/bench/recorder_bench.sh"
"$root/bench/two_sources_bench.sh"
"$root/build-release/bin/waveform_bench"
"$root/build-release/bin/editor_window_bench"
"$root/bench/playback_bench.sh"
"$root/bench/recorder_gap_bench.sh"
"$root/bench/unattended_bench.sh"
