#!/usr/bin/env bash
# Commands from the command line, on the real program with its window
# minimised, on a virtual display and a private daemon: without a program
# --status and --stop say none runs (exit 1); then --record, --status, --toggle
# (a stop), --save to WAV and MP3 (read back by sox and lame), a save refused for
# its name, saves to a missing folder and to a pipe answered with why and no
# box, the take refused while the editor is open, --stop when nothing records,
# and the editor by keys alone.
#   commands_test.sh <program>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/desktop-session.sh"
source "$root/tests/e2e/drive-program.sh"
program_copy "$1"
cp "$(dirname "$1")/lame_enc.so" "$bin/"

# run_command <expected exit status> <args...>: its output in $said, its errors in $complaint.
run_command() {
  local expected="$1" status=0
  shift
  said="$(run_program "$@" 2>"$work/complaint")" || status=$?
  complaint="$(cat "$work/complaint")"
  ((status == expected)) || fail "$* exited $status, not $expected (said '$said', complained '$complaint')"
}
answers() { (run_program --status) >/dev/null 2>&1; }
records() { (run_program --record) >/dev/null 2>&1; }
recorded_two_seconds() { [[ "$(run_program --status 2>/dev/null)" == "recording 00:00:0"[2-9]* ]]; }

run_command 1 --status
[[ "$complaint" == *"Tavrin Recorder is not running."* ]] || fail "--status without a program said '$complaint'"
run_command 1 --stop

run_program --minimized >"$work/program.log" 2>&1 &
app=$!
wait_for 30 "the program to answer" answers
wait_for 30 "the program to record once its device is found" records
run_command 2 --record
[[ "$complaint" == *"Tavrin Recorder is already recording."* ]] || fail "a second --record said '$complaint'"
wait_for 30 "two seconds recorded" recorded_two_seconds
run_command 0 --toggle
[[ "$said" == "stopped, take "*" not saved" ]] || fail "--toggle while recording said '$said'"
run_command 2 --stop
[[ "$complaint" == *"not recording"* ]] || fail "--stop when stopped said '$complaint'"

run_command 0 --save "$work/take.wav"
[[ "$said" == "$work/take.wav" ]] || fail "--save printed '$said'"
length="$(sox --i -D "$work/take.wav")"
awk -v l="$length" 'BEGIN { exit !(l >= 2) }' || fail "the saved WAV lasts $length s"
run_command 0 --save "$work/take.mp3"
lame --quiet --decode "$work/take.mp3" "$work/mp3.wav"
rms="$(sox "$work/mp3.wav" -n stats 2>&1 | awk '/RMS lev dB/ {print $4}')"
awk -v r="$rms" 'BEGIN { exit !(r > -10.5 && r < -8) }' || fail "the MP3's level is $rms dB, not the tone's"
run_command 0 --save "$work/take.flac"
flac --silent --test "$work/take.flac" || fail "the saved FLAC does not pass flac -t"
run_command 2 --save "$work/take.txt"
[[ "$complaint" == *".wav, .mp3, .flac or .opus"* ]] || fail "--save to .txt said '$complaint'"
# Saves that fail answer the command with why, at once, and the window shows
# no box: a missing folder, a pipe (which would hold the save until read).
mkfifo "$work/pipe.wav"
for target in "$work/missing/take.wav" "$work/pipe.wav"; do
  started=$SECONDS
  run_command 2 --save "$target"
  ((SECONDS - started < 5)) || fail "--save $target took $((SECONDS - started)) s to answer"
  [[ "$complaint" == *"$target could not be saved (No such file or directory)."* ||
    "$complaint" == *"$target is not a plain file: choose another file."* ]] ||
    fail "--save $target said '$complaint'"
  ! window_shown "Tavrin Recorder" || fail "--save $target left a box in the window"
  run_command 0 --status
done
[[ "$(run_program --status)" == *" saved" ]] || fail "the take is not saved after --save"

# --show brings the minimised window up and answers with the status.
run_command 0 --show
[[ "$said" == "stopped, take "* ]] || fail "--show said '$said'"

# --toggle twice: a take of its own, recorded and stopped.
run_command 0 --toggle
[[ "$said" == "recording "* ]] || fail "--toggle while stopped said '$said'"
wait_for 30 "two seconds recorded" recorded_two_seconds
run_command 0 --toggle
[[ "$said" == "stopped, take "*" not saved" ]] || fail "the second --toggle said '$said'"

# Twenty toggles at once are taken one after another: they start and stop in
# turn, and what they said adds up to the state the program is left in. The
# first records over the take of the toggles before, never saved: it saves
# that take first, under its date and time in the output folder, and says so.
toggles=()
for i in $(seq 1 20); do
  (run_program --toggle >"$work/toggle-$i.out" 2>&1) &
  toggles+=($!)
done
for toggle in "${toggles[@]}"; do wait "$toggle" || fail "a --toggle of the twenty failed: $(cat "$work"/toggle-*.out)"; done
started="$(cat "$work"/toggle-*.out | grep -cE '^(saved the take before as .*; )?recording ' || true)"
stopped="$(cat "$work"/toggle-*.out | grep -c '^stopped' || true)"
((started + stopped == 20 && started == stopped)) ||
  fail "20 toggles said recording $started times and stopped $stopped times"
[[ "$(run_program --status)" == "stopped"* ]] || fail "after 20 toggles the program is not stopped"
grep -h '^saved the take before as ' "$work"/toggle-*.out >"$work/saved-first" ||
  fail "no toggle saved the take it recorded over"
kept="$(sed 's/^saved the take before as \(.*\); recording .*/\1/' "$work/saved-first")"
[[ -s "$kept" ]] || fail "the take saved first is not at $kept"

# The editor open (a second start hands it a file): the take stays as it is.
run_command 0 "$work/take.wav"
wait_for 30 "the editor" window_shown '声音编辑器'
run_command 2 --record
[[ "$complaint" == *"The sound editor is open"* ]] || fail "--record with the editor open said '$complaint'"

# The editor by keys alone: Home puts the cursor on the first tenth of a
# second, Shift+Right nine times selects nine more (a second), Ctrl+X
# cuts it, Ctrl+S saves all (typed into the file dialog), Ctrl+Z brings it
# back; Space plays from the cursor (that it also stops is the editor rig's).
editor="$(window_id '声音编辑器')"
save_by_keys() {
  xdotool windowfocus --sync "$editor"
  xdotool key ctrl+s
  wait_for 20 "the file dialog" window_shown 'Save As'
  xdotool windowfocus --sync "$(window_id 'Save As')"
  xdotool type --delay 20 "$1"
  xdotool key Return
  wait_for 30 "$1 written" size_at_least "$1" 44
  wait_for 10 "the file dialog to close" not_shown 'Save As'
}
not_shown() { ! window_shown "$1"; }
# What the sink plays, heard on its monitor once the daemon's own tone is gone.
sink_level() {
  timeout 0.4 parec -d tavrin_null.monitor --format=s16le --rate=44100 --channels=2 2>/dev/null |
    sox -t raw -r 44100 -e signed -b 16 -c 2 - -n stats 2>&1 | awk '/RMS lev dB/ {print $4}'
}
playing() { awk -v l="$(sink_level)" 'BEGIN { exit !(l != "-inf" && l + 0 > -50) }'; }
not_playing() { ! playing; }
xdotool windowfocus --sync "$editor"
xdotool key Home
for _ in $(seq 1 9); do xdotool key shift+Right; done
xdotool key ctrl+x
save_by_keys "$work/keys-cut.wav"
xdotool windowfocus --sync "$editor"
xdotool key ctrl+z
save_by_keys "$work/keys-undone.wav"
whole="$(soxi -s "$work/take.wav")"
cut="$(soxi -s "$work/keys-cut.wav")"
undone="$(soxi -s "$work/keys-undone.wav")"
((whole - cut == 44100 && undone == whole)) ||
  fail "by keys: $whole frames, $cut after cutting a second, $undone after undoing"
pactl unload-module module-sine
wait_for 10 "the daemon's tone to end" not_playing
xdotool windowfocus --sync "$editor"
xdotool key space
wait_for 10 "Space to play" playing
echo "commands: every command answered as the buttons would; the editor worked by keys alone"
