#!/usr/bin/env bash
# Two sources in one take, on the real program and a private daemon
# (PulseAudio, or PipeWire with TAVRIN_SERVER=pipewire): the daemon's own
# sink plays 1 kHz and a second null sink 440 Hz; recorded with
# --record from both monitors, side by side (one tone a channel) and mixed
# (both tones in both channels), each saved with --save and measured by sox;
# then the second sink taken away mid-take: the take goes on.
#   two_sources_test.sh <program>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/desktop-session.sh"
source "$root/tests/e2e/drive-program.sh"
program_copy "$1"

# Without norewinds a null sink's monitor delivers late, in bursts.
second_sink="$(pactl load-module module-null-sink sink_name=tavrin_second norewinds=1 \
  sink_properties="device.description='Second\ Sink'")"
# A client plays the tone: PipeWire's server has no module-sine.
sox -n -t raw -r 44100 -e signed -b 16 -c 2 - synth 600 sine 440 vol 0.5 2>/dev/null |
  pacat --playback -d tavrin_second --format=s16le --rate=44100 --channels=2 2>/dev/null &

# tone_db <file> <channel> <Hz>: the level of that tone in that channel.
tone_db() {
  sox "$1" -n remix "$2" sinc "$(($3 - 60))-$(($3 + 60))" stats 2>&1 | awk '/RMS lev dB/ {print $4}'
}
at_least() { awk -v l="$1" -v m="$2" 'BEGIN { exit !(l != "-inf" && l + 0 >= m) }'; }
below() { ! at_least "$1" "$2"; }
answers() { (run_program --status) >/dev/null 2>&1; }
recorded_two_seconds() { [[ "$(run_program --status 2>/dev/null)" == "recording 00:00:0"[2-9]* ]]; }
recorded_five_seconds() { [[ "$(run_program --status 2>/dev/null)" == "recording 00:00:0"[5-9]* ]]; }
recorded_nine_seconds() {
  local status
  status="$(run_program --status 2>/dev/null)"
  [[ "$status" == "recording 00:00:09"* || "$status" == "recording 00:00:"[1-5][0-9]* ]]
}

# record_pair <pairing> <file> [gone|long|window]: a take of $first and
# $second, saved as <file>; with "gone" the second source goes away after two
# seconds; a "long" take runs nine (the sources are put in step after a few);
# "window" presses the window's Record instead of --record.
first=tavrin_null.monitor second=tavrin_second.monitor
record_pair() {
  # A copy of its own: the program before was stopped without closing.
  bin="$work/bin-$(basename "$2" .wav)"
  cp -r "$work/bin" "$bin"
  printf '[Output Folder]\nName=%s\n[Recording Source]\nName=%s\nSecond=%s\nPairing=%s\n' \
    "$work" "$first" "$second" "$1" >"$bin/tavrin-recorder.INI"
  if [[ "${3:-}" == window ]]; then
    run_program >"$work/program-$(basename "$2" .wav).log" 2>&1 &
    app=$!
    wait_for 30 "the recorder window to name both sources" window_shown 'Tavrin Recorder - *+*'
    xdotool mousemove --window "$(window_id 'Tavrin Recorder - *+*')" "$record_button_x" \
      "$record_button_y" click 1
  else
    run_program --record >"$work/program-$(basename "$2" .wav).log" 2>&1 &
    app=$!
  fi
  wait_for 30 "the program to answer" answers
  wait_for 30 "two seconds recorded" recorded_two_seconds
  local status
  status="$(run_program --status)"
  [[ "$status" == *" + "* ]] || fail "--status names one source: $status"
  if [[ "${3:-}" == gone ]]; then
    # The second source goes away: the take goes on, silence in its place.
    pactl unload-module "$second_sink"
    wait_for 30 "five seconds recorded without the second source" recorded_five_seconds
  elif [[ "${3:-}" == long ]]; then
    wait_for 30 "nine seconds recorded" recorded_nine_seconds
  fi
  (run_program --stop) >/dev/null
  (run_program --save "$2") >/dev/null || fail "--save $2 failed"
  kill "$app"
  wait "$app" 2>/dev/null || true
  app=""
}

record_pair 1 "$work/side.wav"
left_1k="$(tone_db "$work/side.wav" 1 1000)" left_440="$(tone_db "$work/side.wav" 1 440)"
right_1k="$(tone_db "$work/side.wav" 2 1000)" right_440="$(tone_db "$work/side.wav" 2 440)"
at_least "$left_1k" -30 && below "$left_440" -50 && at_least "$right_440" -30 && below "$right_1k" -50 ||
  fail "side by side: left 1 kHz $left_1k, 440 Hz $left_440 dB; right 1 kHz $right_1k, 440 Hz $right_440 dB"

# Mixed, recorded from the window: each source keeps its image at its level
# (0 dB), so each tone is in both channels as loud as it was alone in its own.
record_pair 0 "$work/mixed.wav" window
for channel in 1 2; do
  for hz in 1000 440; do
    level="$(tone_db "$work/mixed.wav" "$channel" "$hz")"
    alone="$([[ $hz == 1000 ]] && echo "$left_1k" || echo "$right_440")"
    awk -v l="$level" -v a="$alone" 'BEGIN { d = l - a; exit !(l != "-inf" && d < 1 && d > -1) }' ||
      fail "mixed: channel $channel holds $hz Hz at $level dB, not at its $alone dB"
  done
done
# The second source gone mid-take: the first goes on whole, the second's
# part is its tone, then silence.
record_pair 1 "$work/gone.wav" gone
sox "$work/gone.wav" "$work/gone-start.wav" trim 0.3 1.2
sox "$work/gone.wav" "$work/gone-end.wav" trim -1
at_least "$(tone_db "$work/gone-start.wav" 2 440)" -30 && at_least "$(tone_db "$work/gone-end.wav" 1 1000)" -30 &&
  below "$(tone_db "$work/gone-end.wav" 2 440)" -60 ||
  fail "the second source gone: $(tone_db "$work/gone-start.wav" 2 440) dB before, $(tone_db "$work/gone-end.wav" 2 440) dB after, the first at $(tone_db "$work/gone-end.wav" 1 1000) dB"

# A click that reaches both sources at the same moment (the second a remap
# of the first) lands at the same moment in both channels, before and after
# the program puts them in step by their capture times.
pactl load-module module-null-sink sink_name=tavrin_clicks norewinds=1 >/dev/null
pactl load-module module-remap-source source_name=tavrin_twin master=tavrin_clicks.monitor >/dev/null
sox -n -r 44100 -c 2 -b 16 -e signed -t raw - synth 0.002 square 1000 vol 0.9 pad 0.3 0.698 repeat 599 2>/dev/null |
  pacat --playback -d tavrin_clicks --format=s16le --rate=44100 --channels=2 2>/dev/null &
first=tavrin_clicks.monitor second=tavrin_twin record_pair 1 "$work/clicks.wav" long
read -r clicks offset < <("$root/tests/support/click_offsets.py" "$work/clicks.wav")
awk -v o="$offset" 'BEGIN { exit !(o <= 10 && o >= -10) }' ||
  fail "a click into both sources at once is $offset ms apart in the take"
echo "two sources: side by side $left_1k / $right_440 dB, each tone alone in its channel; mixed holds both at those levels; the take goes on when the second goes away; $clicks clicks at most $offset ms apart"
