#!/usr/bin/env bash
# The real recorder under Xvfb with a private PulseAudio daemon playing a tone:
# start-up time to the first paint, CPU while monitoring and while recording
# (30 s each, % of one core), and resident memory after 30 s of recording.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$root/build-release/bin/tavrin-recorder"
seconds="${TAVRIN_BENCH_SECONDS:-30}"

source "$root/scripts/desktop-session.sh"

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
ticks_per_second="$(getconf CLK_TCK)"

# A copy of the program in a folder of its own, so its settings and work files stay there.
mkdir -p "$work/bin"
cp "$program" "$work/bin/"
export XDG_DATA_HOME="$work/data"
# Start-up: the median of three launches, each measured to its first paint.
launch() {
  : >"$work/stderr.log"
  TAVRIN_LAUNCH_NS="$(date +%s%N)" "$work/bin/tavrin-recorder" 2>"$work/stderr.log" &
  app=$!
  for ((i = 0; i < 100; i++)); do
    grep -q first_paint_ms "$work/stderr.log" && break
    sleep 0.1
  done
}
startups=()
for run in 1 2 3; do
  launch
  startups+=("$(awk '/first_paint_ms/ {print $2; exit}' "$work/stderr.log")")
  kill "$app"
  wait "$app" 2>/dev/null || true
  app=""
done
startup="$(printf '%s\n' "${startups[@]}" | sort -g | sed -n 2p)"
launch
sleep 2

measure_cpu() {
  local before after
  before="$(cpu_ticks "$app")"
  sleep "$seconds"
  after="$(cpu_ticks "$app")"
  awk -v t="$((after - before))" -v hz="$ticks_per_second" -v s="$seconds" 'BEGIN {printf "%.2f", t / hz / s * 100}'
}
monitoring="$(measure_cpu)"

window="$(xdotool search --sync --pid "$app" --name 'Tavrin Recorder' | head -1)"
xdotool mousemove --window "$window" "$record_button_x" "$record_button_y" click 1
sleep 1
recording="$(measure_cpu)"
rss_kb="$(awk '/VmRSS/ {print $2}' "/proc/$app/status")"
take_bytes="$(stat -c %s "$work/bin/Temp/Tavrin.raw" 2>/dev/null || echo 0)"
if [[ "$take_bytes" -eq 0 ]]; then
  echo "recorder_bench: the take did not grow; was Record clicked?" >&2
  exit 1
fi

echo "recorder_startup_ms: $startup ms"
echo "recorder_cpu_monitoring_percent: $monitoring %"
echo "recorder_cpu_recording_percent: $recording %"
awk -v kb="$rss_kb" 'BEGIN {printf "recorder_rss_mb: %.1f MB\n", kb / 1024}'

# Two sources: the daemon's sink and a second null sink with a tone of its
# own, mixed into the take; a fresh copy, since the one before was killed.
kill "$app"
wait "$app" 2>/dev/null || true
app=""
pactl load-module module-null-sink sink_name=tavrin_second norewinds=1 >/dev/null
sox -n -t raw -r 44100 -e signed -b 16 -c 2 - synth 3600 sine 440 vol 0.5 2>/dev/null |
  pacat --playback -d tavrin_second --format=s16le --rate=44100 --channels=2 2>/dev/null &
mkdir -p "$work/bin2"
cp "$program" "$work/bin2/"
printf '[Recording Source]\nName=tavrin_null.monitor\nSecond=tavrin_second.monitor\n' \
  >"$work/bin2/tavrin-recorder.INI"
"$work/bin2/tavrin-recorder" 2>/dev/null &
app=$!
window="$(xdotool search --sync --pid "$app" --name 'Tavrin Recorder - .* + ' | head -1)"
sleep 2
xdotool mousemove --window "$window" "$record_button_x" "$record_button_y" click 1
sleep 1
two_sources="$(measure_cpu)"
[[ -s "$work/bin2/Temp/Tavrin.raw" ]] || { echo "recorder_bench: the two-source take did not grow" >&2; exit 1; }
echo "recorder_cpu_two_sources_percent: $two_sources % (goal at most 1.0)"
