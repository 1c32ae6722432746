#!/usr/bin/env bash
# Two sources on the real program and a private daemon (PulseAudio, then
# PipeWire): a click played into both at once, recorded side by side; prints
# how far apart it lands in the take, the worse of the two servers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$root/build-release/bin/tavrin-recorder"
worst=0
for server in pulseaudio pipewire; do
  line="$(TAVRIN_SERVER="$server" "$root/tests/gui/two_sources_test.sh" "$program" | grep 'clicks at most')"
  offset="$(sed -E 's/.* at most (-?[0-9.]+) ms apart.*/\1/' <<<"$line")"
  echo "two sources on $server: a click $offset ms apart"
  worst="$(awk -v a="$worst" -v b="$offset" 'BEGIN { if (b < 0) b = -b; print (b > a ? b : a) }')"
done
echo "two_source_alignment_ms: $worst (goal at most 10)"
