#!/usr/bin/env bash
# Builds the Debian package of Tavrin Recorder in Release:
#   scripts/package.sh [output folder]   (default: dist/)
# Install it with: sudo apt-get install ./dist/tavrin-recorder_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/dist}")"
build="$root/build-package"

"$root/scripts/install-deps"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF \
  -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
mkdir -p "$out"
rm -f "$out"/tavrin-recorder_*.deb
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out"
rm -rf "$out/_CPack_Packages"
ls "$out"/tavrin-recorder_*.deb
