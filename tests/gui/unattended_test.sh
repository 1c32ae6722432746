#!/usr/bin/env bash
# Recording that runs by itself, in the real program on a virtual display and
# a private daemon: a timer armed 10 s ahead for 5 s records and saves its take
# at once, under its start time; sound-activated recording (pre-roll 2 s,
# hangover 1 s, a file per sound) over two tone bursts saves two files, each
# beginning exactly 2 s (within one 0.1 s buffer) before its burst's first
# sample; with an output folder that can not be made, both are kept in the
# work folder's Unsaved (said by --status), no box waits for anyone, and they
# move to the output folder once it can be made.
#   unattended_test.sh <program>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
export TAVRIN_SINE=0 # the tone is played here, when wanted
source "$root/scripts/desktop-session.sh"
source "$root/tests/e2e/drive-program.sh"
source "$root/tests/e2e/unattended-steps.sh"
program_copy "$1"

# The timer: the tone plays throughout, the take is cut from it by the clock.
tone_on
out="$work/timed"
start=$(($(date +%s) + 10))
write_settings "$out" "[Timer]
Armed=1
Start=$(second_of_day "$start")
Stop=1
Duration=5"
run_program >"$work/program1.log" 2>&1 &
app=$!
wait_for 40 "the timed take saved" saved_files "$out" 1
file="$(ls "$out"/*.wav)"
name="$(basename "$file" .wav)"
stamp="$(date -d "@$start" '+%F %H-%M-%S')"
stamp1="$(date -d "@$((start + 1))" '+%F %H-%M-%S')"
[[ "$name" == "$stamp" || "$name" == "$stamp1" ]] || fail "the timed take is named '$name', not its start time $stamp"
seconds_between "$file" 4.6 5.4
rms="$(sox "$file" -n stats 2>&1 | awk '/RMS lev dB/ {print $4}')"
awk -v r="$rms" 'BEGIN { exit !(r > -10 && r < -8) }' || fail "the timed take's level is $rms dB, not the tone's -9 dB"
grep -q '^Armed=0' "$bin/tavrin-recorder.INI" || fail "a one-off timer that ran is still armed in the settings"
kill "$app"
wait "$app" 2>/dev/null || true
app=""

# Sound activation with a pre-roll of 2 s, a hangover of 1 s and a file per sound.
sound_activation="[Sound Activation]
On=1
Threshold=-40
PreRollMs=2000
HangoverMs=1000
Silence=1"
# press_record_in_program <log>: the program started, and Record pressed once
# its window names the source.
press_record_in_program() {
  run_program >"$1" 2>&1 &
  app=$!
  wait_for 30 "the recorder window to name its source" window_shown 'Tavrin Recorder - ?*'
  xdotool mousemove --window "$(window_id 'Tavrin Recorder - ?*')" "$record_button_x" \
    "$record_button_y" click 1
}

# Sound activation: silence, then two bursts 3 s apart.
tone_off
out="$work/sound"
program_copy "$1"
rm -rf "$bin/Temp"
write_settings "$out" "$sound_activation"
press_record_in_program "$work/program2.log"
sleep 3 # more than the pre-roll of silence is heard first
tone_on
sleep 1
tone_off
sleep 3
tone_on
sleep 1
tone_off
wait_for 30 "a file for each burst" saved_files "$out" 2
for file in "$out"/*.wav; do
  seconds_between "$file" 3.6 4.6 # 2 s before, about 1 s of tone, the hangover
  onset="$(onset_ms "$file")"
  ((onset >= 2000 && onset < 2100)) || fail "$(basename "$file"): the tone starts at $onset ms, not within the buffer at 2000 ms"
done
# An output folder that can not be made (a file stands where its parent should
# be): each take is kept in the work folder's Unsaved under its onset's name,
# the next take replaces none of them, and no box waits for anyone.
kill "$app"
wait "$app" 2>/dev/null || true
program_copy "$1"
rm -rf "$bin/Temp"
touch "$work/blocked"
write_settings "$work/unused" "$sound_activation"
sed -i "s|^Name=.*|Name=$work/blocked/out|" "$bin/tavrin-recorder.INI"
press_record_in_program "$work/program3.log"
sleep 3
for burst in 1 2; do
  tone_on
  sleep 1
  tone_off
  sleep 3
done
wait_for 30 "both takes kept in Unsaved" saved_files "$bin/Temp/Unsaved" 2
! window_shown 'Tavrin Recorder' || fail "a box waits for someone over the unattended recorder"
for file in "$bin/Temp/Unsaved"/*.wav; do
  onset="$(onset_ms "$file")"
  ((onset >= 2000 && onset < 2100)) || fail "kept $(basename "$file"): the tone starts at $onset ms, not 2000"
done
kept_names="$(ls "$bin/Temp/Unsaved")"
status="$(run_program --status)"
[[ "$status" == *"2 takes kept in $bin/Temp/Unsaved"* ]] || fail "--status did not list the kept takes: '$status'"
# Once the output folder can be made, the kept takes move there under their names.
rm "$work/blocked"
wait_for 40 "the kept takes moved to the output folder" saved_files "$work/blocked/out" 2
[[ "$(ls "$work/blocked/out")" == "$kept_names" ]] || fail "the kept takes were renamed on the way"
[[ -z "$(ls -A "$bin/Temp/Unsaved")" ]] || fail "a kept take stayed behind"
for file in "$work"/timed/*.wav "$work"/sound/*.wav "$work"/blocked/out/*.wav; do echo "$(basename "$file"): $(sox --i -D "$file") s, sound from $(onset_ms "$file") ms"; done
