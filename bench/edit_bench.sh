#!/usr/bin/env bash
# The editor engine's effects, clipboard and undo on the 10-minute bench take
# against sox and cp, in a scratch folder of its own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$root/build-release}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bin/edit_bench" "$work"
