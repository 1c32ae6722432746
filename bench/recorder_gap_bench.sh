#!/usr/bin/env bash
# The recorder window's timer while the private PulseAudio daemon is stopped
# for 5 s of 10 s of monitoring (offscreen, in-process).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$root/build-release}"
QT_QPA_PLATFORM=offscreen "$root/tests/e2e/with-pulse.sh" "$build/bin/recorder_gap_bench"
