#!/usr/bin/env bash
# Runs each libFuzzer harness of a TAVRIN_FUZZ build for a bounded time:
#   run-fuzzers.sh <build-dir> [seconds-per-harness]
# New inputs go to a scratch folder, so the seed corpus in the tree changes only
# by hand; a failing input is kept in the build folder and named in the output.
set -euo pipefail
build="$1"
seconds="${2:-3}"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-fuzz-corpus.$$.XXXXXX")"
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

# The largest input: a take of four buffers and its five bytes of parameters.
max_len=$((4 * 17640 + 5))
status=0
for corpus in "$here"/corpus/*/; do
  name="$(basename "$corpus")"
  harness="$build/bin/${name}_fuzz"
  mkdir -p "$work/$name"
  echo "-- ${name}_fuzz for ${seconds} s"
  if ! "$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
      -print_final_stats=1 -artifact_prefix="$artifacts/${name}-" "$work/$name" "$corpus" \
      >"$work/$name.log" 2>&1; then
    cat "$work/$name.log"
    echo "FAILED: ${name}_fuzz (input kept in $artifacts)"
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done ' "$work/$name.log" || true
  fi
done
exit "$status"
