#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts Tavrin Recorder.
# On a desktop it uses your display and sound server. Without a display it
# starts a virtual one (Xvfb); without a sound server it starts a private
# PulseAudio daemon with a null sink playing a 1 kHz tone, so the recorder has
# a device to show.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
cd "$root"

./scripts/install-deps
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j"$(nproc)"

source scripts/virtual-display.sh
source tests/e2e/pulse-daemon.sh
cleanup() {
  pulse_stop
  display_stop
}
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  display_start
  echo "run.sh: no display found; Tavrin Recorder runs on the virtual X display $DISPLAY (Xvfb)."
fi
if ! pactl info >/dev/null 2>&1; then
  pulse_start
  echo "run.sh: no sound server found; started a private PulseAudio daemon with a null sink (1 kHz test tone)."
fi

"$root/build-release/bin/tavrin-recorder"
