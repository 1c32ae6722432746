#!/usr/bin/env bash
# Opening files from outside, with the real program on a virtual display and a
# private daemon: `tavrin-recorder FILE` starts with the file in the editor,
# and a second start with another file hands it to the running program and
# ends at once, the running editor then holding the second file.
#   open_file_test.sh <program>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/desktop-session.sh"
source "$root/tests/e2e/drive-program.sh"
program_copy "$1"
sox -n -c 2 -r 48000 -b 16 "$work/two.wav" synth 2 sine 440 vol 0.5
sox -n -c 1 -r 44100 -b 16 "$work/three.wav" synth 3 sine 880 vol 0.5
flac --silent -o "$work/three.flac" "$work/three.wav"

opened_buffers() { [[ -f "$workFolder/Open.raw" && "$(stat -c %s "$workFolder/Open.raw")" -eq $(($1 * 17640)) ]]; }

run_program "$work/two.wav" >"$work/program1.log" 2>&1 &
app=$!
wait_for 30 "the editor with the file" window_shown '声音编辑器'
wait_for 30 "the 2 s file decoded (20 buffers)" opened_buffers 20

# The second start hands its file over and ends without a window of its own.
(run_program "$work/three.flac" >"$work/program2.log" 2>&1) & second=$!
second_ended() { ! kill -0 "$second" 2>/dev/null; }
wait_for 20 "the second start to end" second_ended
wait "$second" ||
  fail "the second start did not end at once with success"
wait_for 30 "the 3 s file decoded in the running editor (30 buffers)" opened_buffers 30
[[ ! -e "$workFolder/test" ]] || fail "opening made a test file"
echo "PASS"
