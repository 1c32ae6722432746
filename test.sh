#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the whole suite
# built with AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz
# harness for a few seconds (when clang is there), then the PulseAudio layer's
# tests and the FLAC writer's threads built with ThreadSanitizer, then the
# normal build, whose ctest summary closes the output.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
cd "$root"
jobs="$(nproc)"
# Every GoogleTest process runs its cases in a new random order (the seed is
# printed), so no case can lean on another having run first.
export GTEST_SHUFFLE=1

./scripts/install-deps

echo "== sanitizer build (ASan + UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_SANITIZE=ON -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600

if command -v clang++ >/dev/null 2>&1; then
  echo "== fuzzers (libFuzzer + ASan + UBSan, 3 s each)"
  cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTAVRIN_FUZZ=ON -DTAVRIN_BUILD_BENCH=OFF >/dev/null
  cmake --build build-fuzz --target fuzzers -j"$jobs"
  tests/fuzz/run-fuzzers.sh build-fuzz 3
else
  echo "== fuzzers skipped: no clang++"
fi

echo "== ThreadSanitizer: wave input, wave output, the input mixer, capture and playback on a private daemon, FLAC and MP3 saved on threads"
tsan_tests=(pulse_wave_in_test pulse_wave_out_test input_mixer_pulse_test capture_pulse_e2e_test
  playback_pulse_e2e_test flac_opus_writer_tests encoder_tests)
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_TSAN=ON -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$jobs" --target "${tsan_tests[@]}"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" --timeout 300 \
  -R '^(PulseWaveIn|PulseWaveOut|InputMixerPulse|CapturePulseEndToEnd|PlaybackPulseEndToEnd|FlacOpusWriter\.(ManyThreads|Cancel|AFullDisk)|ThreadedMp3Save\.|ToneAndSweep/ThreadedMp3Saves\.)'

echo "== build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600
