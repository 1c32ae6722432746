#!/usr/bin/env bash
# Loading a 1-hour "test" whose peaks must be measured, against cat, in a
# scratch folder of its own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$root/build-release}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bin/recovery_bench" "$work"
