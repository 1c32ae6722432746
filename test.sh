#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the whole suite
# built with AddressSanitizer and UndefinedBehaviorSanitizer, then the normal
# build, whose ctest summary closes the output.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
cd "$root"
jobs="$(nproc)"

./scripts/install-deps

echo "== sanitizer build (ASan + UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_SANITIZE=ON -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600

echo "== build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600
