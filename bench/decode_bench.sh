#!/usr/bin/env bash
# Opening FLAC, MP3 and 48 kHz WAV files made from the 10-minute bench take
# against flac -d, lame --decode and sox, in a scratch folder of its own;
# prints "name: value unit" lines and the ratios (ours / theirs).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$root/build-release}"
for program in flac lame sox; do
  if ! command -v "$program" >/dev/null; then
    echo "decode_bench: $program is not installed" >&2
    exit 1
  fi
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bin/decode_bench" "$work"
