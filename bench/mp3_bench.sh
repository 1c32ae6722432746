#!/usr/bin/env bash
# MP3 export of the 10-minute benchmark take through our encoder library
# against the lame command-line encoder (CBR 128 kbps stereo, quality 2).
# Needs a Release build (bench/run.sh makes one); the build folder may be
# given as the first argument.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-release}"
if ! command -v lame >/dev/null; then
  echo "mp3_bench: the lame command-line encoder is not installed" >&2
  exit 1
fi
"$build/bin/mp3_bench"
