#!/usr/bin/env bash
# Opening files from outside, with the real program on a virtual display and a
# private daemon: `tavrin-recorder FILE` starts with the file (a phone's M4A) in the editor,
# and a second start with another file hands it to the running program and
# ends at once, the running editor then holding the second file; names that
# are not plain (a trailing space, a newline, not UTF-8, a leading "-") arrive
# exactly; a file handed over while a save's dialog is up is refused with why,
# and the save writes what it began with. The program speaks English here
# (LANGUAGE=en), as any desktop not in Chinese sees it.
#   open_file_test.sh <program>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/desktop-session.sh"
source "$root/tests/e2e/drive-program.sh"
program_copy "$1"
export LANGUAGE=en
printf '[Save Format]\nWav=1\nMP3=0\nSamplePerSecond=44100\nBitPerSample=16\nChannels=2\n' >"$bin/tavrin-recorder.INI"
sox -n -c 2 -r 48000 -b 16 "$work/two.wav" synth 2 sine 440 vol 0.5
sox -n -c 1 -r 44100 -b 16 "$work/three.wav" synth 3 sine 880 vol 0.5
flac --silent -o "$work/three.flac" "$work/three.wav"
# A phone's voice memo: AAC in M4A, made by the ffmpeg command line.
ffmpeg -nostdin -v error -i "$work/two.wav" -c:a aac "$work/memo.m4a"

# Hostile files, watched from outside (every socket the program makes and
# every file it opens, by strace) while it refuses them: a text file that
# describes a network stream, named as a voice memo, must make no network
# socket and bind no port; a playlist naming a file by file:// and through
# FFmpeg's protocols must not open it.
printf 'v=0\no=- 0 0 IN IP4 127.0.0.1\ns=voice\nc=IN IP4 127.0.0.1\nt=0 0\nm=audio 47123 RTP/AVP 0\na=rtpmap:0 PCMU/8000\n' >"$work/stream.m4a"
cp "$work/two.wav" "$work/secret.wav"
printf '#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:2,\nfile://%s\n#EXTINF:2,\ntee:%s\n#EXTINF:2,\nsubfile:,start,0,end,0,:%s\n#EXT-X-ENDLIST\n' \
  "$work/secret.wav" "$work/secret.wav" "$work/secret.wav" >"$work/list.m4a"
for hostile in stream.m4a list.m4a; do
  (HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" QT_QPA_PLATFORM=xcb \
    exec strace -f -qq -e trace=socket,bind,connect,openat -o "$work/strace.log" \
    "$bin/tavrin-recorder" "$work/$hostile") >"$work/program0.log" 2>&1 &
  tracer=$!
  app=$tracer
  app_traced() { app="$(pgrep -P "$tracer" -f "$bin/tavrin-recorder" | head -1)" && [[ -n "$app" ]]; }
  wait_for 30 "the program under strace" app_traced
  wait_for 30 "the refusal of $hostile over the recorder window" windows_at_least 2
  grep -q 'socket(AF_UNIX' "$work/strace.log" || fail "strace did not see the program's own sockets"
  ! grep -E 'socket\(AF_INET6?,' "$work/strace.log" || fail "opening $hostile made a network socket"
  ! grep -E 'bind\(.*sin6?_port' "$work/strace.log" || fail "opening $hostile bound a port"
  ! ss -uanp 2>/dev/null | grep -q ':4712[34] ' || fail "a UDP port of $hostile is open"
  ! grep -F "secret.wav" "$work/strace.log" || fail "opening $hostile opened the file it names"
  [[ ! -e "$workFolder/Open.raw" ]] || fail "the refused $hostile was decoded"
  kill "$app"
  wait "$tracer" 2>/dev/null || true
  # The next start must not find this one still going away (it would hand
  # its file over and end): the process gone and its run marker unlocked.
  wait_for 30 "the program that refused $hostile to end" program_ended
  marker_free() { [[ ! -e "$workFolder/Tavrin.run" ]] || flock -n "$workFolder/Tavrin.run" true; }
  tries=0
  until marker_free || ((++tries > 300)); do sleep 0.1; done
  marker_free || fail "the program that refused $hostile still holds its run marker"
done

opened_buffers() { [[ -f "$workFolder/Open.raw" && "$(stat -c %s "$workFolder/Open.raw")" -eq $(($1 * 17640)) ]]; }

run_program "$work/memo.m4a" >"$work/program1.log" 2>&1 &
app=$!
wait_for 30 "the editor with the file, in English" window_shown 'Sound Editor'
wait_for 30 "the 2 s voice memo decoded (20 buffers)" opened_buffers 20

# The second start hands its file over and ends without a window of its own.
(run_program "$work/three.flac" >"$work/program2.log" 2>&1) & second=$!
second_ended() { ! kill -0 "$second" 2>/dev/null; }
wait_for 20 "the second start to end" second_ended
wait "$second" ||
  fail "the second start did not end at once with success"
wait_for 30 "the 3 s file decoded in the running editor (30 buffers)" opened_buffers 30
[[ ! -e "$workFolder/test" ]] || fail "opening made a test file"

# Names as the file system has them, each a length of its own.
declare -A names=([1]="one second.wav " [4]=$'lat\xe9n.wav' [5]=$'two\nlines.wav' [6]="-dash.wav")
for seconds in 1 4 5 6; do
  sox -n -c 2 -r 44100 -b 16 -t wav "$work/${names[$seconds]}" synth "$seconds" sine 440 vol 0.5
  (cd "$work" && run_program -- "${names[$seconds]}" >"$work/program-$seconds.log" 2>&1) ||
    fail "the second start with a ${seconds} s file named $(printf %q "${names[$seconds]}") failed"
  wait_for 30 "the ${seconds} s file in the running editor" opened_buffers $((seconds * 10))
done
status=0
(cd "$work" && run_program -dash.wav) 2>"$work/program-option.log" || status=$?
((status == 2)) && grep -q "Unknown option -dash.wav" "$work/program-option.log" ||
  fail "an unknown option was not refused with its name (status $status)"

# File > Save All; while its dialog is up a second start is refused, says
# why and ends; the save then writes the 6 s document it began with.
open_save_all_dialog "$(window_id 'Sound Editor')"
(run_program "$work/two.wav" >"$work/program-busy.log" 2>&1) & second=$!
press_return_in_box_of "$second"
grep -q "The sound editor is busy" "$work/program-busy.log" ||
  fail "the second start did not say why it was refused"
status=0
wait "$second" || status=$?
((status == 2)) || fail "the refused second start ended with status $status, not 2"
dialog="$(window_id 'Save As')"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 copy.wav # the dialog starts beside the opened file
xdotool key Return
saved() { [[ -f "$work/copy.wav" ]] && (($(stat -c %s "$work/copy.wav") >= 44 + 60 * 17640)); }
wait_for 60 "the saved copy" saved
(($(stat -c %s "$work/copy.wav") == 44 + 60 * 17640)) ||
  fail "the save did not write the 6 s document it began with"
opened_buffers 60 || fail "the refused file was opened after all"

# Without a runtime folder, a hand-off folder that another user made first is
# never used: the program says why and works on; a second start names the problem.
kill "$app"
wait "$app" 2>/dev/null || true
mkdir -m 1777 "$work/tmp"
taken="$work/tmp/tavrin-recorder-$(id -u)"
mkdir -m 0700 "$taken"
if chown nobody "$taken" 2>/dev/null; then
  no_runtime() { TMPDIR="$work/tmp" XDG_RUNTIME_DIR="" run_program "$@"; }
  no_runtime >"$work/program3.log" 2>&1 &
  app=$!
  wait_for 30 "the message that files cannot be handed over" window_shown 'Tavrin Recorder'
  grep -q "can not hand files to this one ($taken belongs to another user)" "$work/program3.log" ||
    fail "the failed listen was not told"
  (no_runtime "$work/two.wav" >"$work/program-taken.log" 2>&1) & second=$!
  press_return_in_box_of "$second"
  status=0
  wait "$second" || status=$?
  ((status == 2)) && grep -q "$taken belongs to another user" "$work/program-taken.log" ||
    fail "the second start did not name the folder another user holds (status $status)"
  [[ -z "$(ls -A "$taken")" ]] || fail "something was made in the other user's folder"
else
  echo "skipped the other user's folder: only root can give a folder away here"
fi
echo "PASS"
