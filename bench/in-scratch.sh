#!/usr/bin/env bash
# Runs one benchmark program of the Release build in a scratch folder of its
# own, once the command-line tools it is measured against are there:
#   bench/in-scratch.sh <program> [tool ...]
# The program prints "name: value unit" lines and its ratios (ours / theirs).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$root/build-release}"
program="$1"
shift
for tool in "$@"; do
  if ! command -v "$tool" >/dev/null; then
    echo "$program: $tool is not installed" >&2
    exit 1
  fi
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bin/$program" "$work"
