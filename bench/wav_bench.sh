#!/usr/bin/env bash
# WAV export of the 10-minute bench take against sox, in a scratch folder of
# its own; prints "name: value unit" lines and the two ratios (ours / sox).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$root/build-release}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bin/wav_bench" "$work"
