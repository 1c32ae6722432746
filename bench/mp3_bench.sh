#!/usr/bin/env bash
# MP3 export (CBR and VBR) of the 10-minute benchmark take through our encoder library
# on every usable core against the lame command-line encoder (stereo, quality 2),
# and the error at the joins of a sweep saved on those cores.
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
