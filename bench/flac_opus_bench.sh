#!/usr/bin/env bash
# FLAC and Opus export of the 10-minute bench take against the flac and
# opusenc command-line encoders, in a scratch folder of its own; prints
# "name: value unit" lines and the ratios (ours / theirs).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$root/build-release}"
for program in flac opusenc; do
  if ! command -v "$program" >/dev/null; then
    echo "flac_opus_bench: $program is not installed" >&2
    exit 1
  fi
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bin/flac_opus_bench" "$work"
