#!/usr/bin/env bash
# Playback on a private PulseAudio daemon without a tone, the sink's monitor
# recorded beside it: start-up, cursor lead and CPU while playing 20 s.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$root/build-release}"
TAVRIN_SINE=0 "$root/tests/e2e/with-pulse.sh" "$build/bin/playback_bench"
