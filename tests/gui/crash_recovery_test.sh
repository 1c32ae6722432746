#!/usr/bin/env bash
# A take outlives a killed program. The real program records the private
# daemon's tone on a virtual display and is killed with SIGKILL; started again,
# it keeps the take, its editor offers it, Load opens it, and Save All writes
# it as WAV: byte for byte the audio the killed program had written, up to the
# last half of the ring, and that audio is the unbroken tone.
#   crash_recovery_test.sh <program> <raw_tone_check>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
tone_check="$2"
source "$root/scripts/desktop-session.sh"
source "$root/tests/e2e/drive-program.sh"
program_copy "$1"
printf '[Save Format]\nWav=1\nMP3=0\nSamplePerSecond=44100\nBitPerSample=16\nChannels=2\n[Output Folder]\nName=%s\n' \
  "$work" >"$bin/tavrin-recorder.INI"
half=352800

start_program() {
  run_program >"$work/program$1.log" 2>&1 &
  app=$!
}
# The caption names the source once the first device check has opened it.
main_window_ready() { window_shown 'Tavrin Recorder - ?*'; }
# The message boxes and the recovery dialog carry the bare program name.
box_shown() { window_shown 'Tavrin Recorder'; }
press_return_in_box() {
  local box
  box="$(window_id 'Tavrin Recorder')"
  xdotool windowfocus --sync "$box"
  xdotool key Return
}

start_program 1
wait_for 30 "the recorder window to name its source" main_window_ready
main="$(window_id 'Tavrin Recorder - ?*')"
xdotool mousemove --window "$main" "$record_button_x" "$record_button_y" click 1
wait_for 30 "three halves of the take on disk" size_at_least "$workFolder/Tavrin.raw" $((3 * half))
kill -KILL "$app"
wait "$app" 2>/dev/null || true
app=""
cp "$workFolder/Tavrin.raw" "$work/at-kill.raw"
bytes="$(stat -c %s "$work/at-kill.raw")"
((bytes % half == 0)) || fail "the take on disk ends inside a half ($bytes bytes)"
[[ -e "$workFolder/Tavrin.run" ]] || fail "the killed program left no marker"
"$tone_check" "$work/at-kill.raw" || fail "the take on disk is not the unbroken tone"

# The next start keeps the take as "test", with its peaks, and says so.
start_program 2
wait_for 30 "the message that the take was kept" box_shown
[[ -f "$workFolder/test" ]] || fail "no test file after the restart"
cmp -s "$workFolder/test" "$work/at-kill.raw" || fail "test is not the take the killed program wrote"
[[ "$(stat -c %s "$workFolder/Tavrin.spv")" -eq $((bytes / 17640 * 8)) ]] ||
  fail "Tavrin.spv does not hold the peaks of every buffer"
[[ ! -e "$workFolder/Tavrin.raw" ]] || fail "the kept take is still in Tavrin.raw"
press_return_in_box
wait_for 30 "the recorder window" main_window_ready
main="$(window_id 'Tavrin Recorder - ?*')"

# The editor offers it; Load opens it.
xdotool mousemove --window "$main" $((record_button_x + 106)) "$record_button_y" click 1
wait_for 30 "the recovery dialog" box_shown
press_return_in_box
wait_for 30 "the editor" window_shown '声音编辑器'
editor="$(window_id '声音编辑器')"
# File > Save All as WAV into the output folder.
open_save_all_dialog "$editor"
dialog="$(window_id 'Save As')"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 kept.wav
xdotool key Return
saved_whole() { [[ -f "$work/kept.wav" ]] && (($(stat -c %s "$work/kept.wav") >= bytes + 44)); }
wait_for 60 "the WAV file" saved_whole
wav="$(stat -c %s "$work/kept.wav")"
((wav == bytes + 44)) || fail "the WAV holds $wav bytes, not the take's $bytes and a header"
tail -c +45 "$work/kept.wav" | cmp -s - "$work/at-kill.raw" ||
  fail "the loaded take is not, byte for byte, the audio the killed program wrote"
echo "a killed program's take came back through the editor: $((bytes / half)) halves, bit-exact"
