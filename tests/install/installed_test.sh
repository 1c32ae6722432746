#!/usr/bin/env bash
# The installed program, run by an unprivileged user: the package is unpacked
# into a root-owned tree (so the program cannot write beside itself) with a
# shipped default settings file, and `nobody`, with a home of its own, runs it
# on a virtual display against a private PulseAudio daemon playing a 1 kHz
# tone, on a German desktop (so in English, from the installed translations).
# The test records, saves the take as MP3 through the installed encoder
# library, quits from the File menu, and checks where the files went.
#   installed_test.sh <folder holding tavrin-recorder_*.deb>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
if [[ "$(id -u)" -ne 0 ]]; then
  echo "SKIP: unpacking a root-owned tree and becoming another user need root"
  exit 77
fi
shopt -s nullglob
debs=("$1"/tavrin-recorder_*.deb)
[[ ${#debs[@]} -eq 1 ]] || { echo "FAIL: no single package in $1" >&2; exit 1; }

source "$root/scripts/desktop-session.sh"

source "$root/tests/e2e/drive-program.sh"

# The user and everything it may reach.
user=nobody
group="$(id -gn "$user")"
chmod 755 "$work"
tree="$work/tree"
dpkg-deb -x "${debs[0]}" "$tree"
chown -R root:root "$tree"
chmod 755 "$tree"
program="$tree/usr/bin/tavrin-recorder"
# A system-wide default shipped beside the program, with a key of someone else's.
printf '[Window Colors]\nColor=3\n[Site]\nNote=kept\n' >"$tree/usr/bin/tavrin-recorder.INI"

home="$work/home"
runtime="$home/runtime"
mkdir -p "$home" "$runtime"
chown -R "$user:$group" "$home"
chmod 700 "$runtime"
config="$home/config"
data="$home/data"
# The daemon's folder is private to root; its socket accepts anyone.
chmod 755 "$TAVRIN_PULSE_DIR"

# Started with &: the program is $! itself.
run_installed() {
  exec setpriv --reuid="$user" --regid="$group" --clear-groups -- env -i \
    HOME="$home" XDG_CONFIG_HOME="$config" XDG_DATA_HOME="$data" XDG_RUNTIME_DIR="$runtime" \
    PATH=/usr/bin:/bin DISPLAY="$DISPLAY" PULSE_SERVER="$PULSE_SERVER" \
    PULSE_CLIENTCONFIG="$PULSE_CLIENTCONFIG" PULSE_RUNTIME_PATH="$runtime/pulse" \
    DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb LANG=de_DE.UTF-8 \
    "$program" "$@" >>"$work/program.log" 2>&1
}
run_installed &
app=$!
trap 'status=$?; [[ $status -eq 0 ]] || { echo "program output:" >&2; cat "$work/program.log" >&2; }; desktop_session_cleanup' EXIT

wait_for 30 "the window" window_named 'Tavrin Recorder'
window="$(xdotool search --onlyvisible --pid "$app" --name 'Tavrin Recorder' | head -1)"
# The caption names the source once the first device check has opened it.
caption_has_source() { [[ "$(xdotool getwindowname "$window")" == "Tavrin Recorder - "?* ]]; }
wait_for 30 "the caption to name the source" caption_has_source
workFolder="$data/Tavrin Recorder"
[[ -d "$workFolder" ]] || fail "no work folder under XDG_DATA_HOME"
[[ ! -e "$tree/usr/bin/Temp" ]] || fail "a work folder appeared beside the installed program"

xdotool mousemove --window "$window" "$record_button_x" "$record_button_y" click 1
# Two halves of the ring (4 s) on disk, then Stop.
wait_for 20 "4 seconds of take in the work folder" size_at_least "$workFolder/Tavrin.raw" 705600
xdotool mousemove --window "$window" $((record_button_x + 53)) "$record_button_y" click 1  # Stop
# Save: the file dialog opens in the output folder (the user's home).
xdotool mousemove --window "$window" $((record_button_x + 159)) "$record_button_y" click 1
wait_for 20 "the file dialog" more_windows
dialog="$(xdotool search --onlyvisible --pid "$app" | grep -vx "$window" | head -1)"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 take.mp3
xdotool key Return
wait_for 60 "the MP3 file" test -s "$home/take.mp3"
wait_for 60 "the save to finish" only_main_window

# Quit from the File menu (its last item), as a user would.
xdotool mousemove --window "$window" 20 12 click 1
wait_for 10 "the File menu" more_windows
xdotool key Up Return
wait_for 30 "the program to end" program_ended
status=0
wait "$app" || status=$?
app=""
[[ $status -eq 0 ]] || fail "the program exited with status $status"
# A German desktop gets the English windows, from the package's translations.
! grep -q "translation" "$work/program.log" || fail "the installed translation did not load"

# The take, decoded: at least 4 s of the daemon's tone.
lame --quiet --decode "$home/take.mp3" "$work/take.wav" || fail "lame cannot decode the saved MP3"
stats="$(sox "$work/take.wav" -n stat 2>&1)"
length="$(awk '/^Length/ {print $3}' <<<"$stats")"
rms="$(awk '/^RMS +amplitude/ {print $3}' <<<"$stats")"
awk -v l="$length" -v r="$rms" 'BEGIN { exit !(l >= 3.9 && r > 0.30 && r < 0.40) }' ||
  fail "the MP3 holds ${length} s at RMS ${rms}, not the 1 kHz tone"

# Settings: under the user's XDG_CONFIG_HOME, seeded from the shipped default.
settings="$config/tavrin-recorder/tavrin-recorder.INI"
[[ -f "$settings" ]] || fail "no settings under XDG_CONFIG_HOME"
[[ "$(stat -c %U "$settings")" == "$user" ]] || fail "the settings file does not belong to $user"
for line in 'Color=3' 'Note=kept' '[Save Format]' 'MP3=1' "Name=$home"; do
  grep -qxF "$line" "$settings" || fail "the settings file lacks '$line'"
done
# Work files: under XDG_DATA_HOME, and the unsaved take gone with the program.
[[ "$(stat -c %U "$workFolder")" == "$user" ]] || fail "the work folder does not belong to $user"
[[ ! -e "$workFolder/Tavrin.raw" ]] || fail "the take outlived the program"
# A phone's M4A opens through the FFmpeg module in the package's private
# library folder, which the program loads only now.
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=1000:duration=2" -c:a aac "$home/memo.m4a"
chown "$user:$group" "$home/memo.m4a"
run_installed "$home/memo.m4a" &
app=$!
opened_memo() { [[ -f "$workFolder/Open.raw" && "$(stat -c %s "$workFolder/Open.raw")" -eq $((20 * 17640)) ]]; }
wait_for 30 "the M4A decoded by the installed module" opened_memo
grep -q "/usr/lib/tavrin-recorder/tavrin_ffmpeg.so" "/proc/$app/maps" ||
  fail "the M4A was not opened by the package's module"
kill "$app"
wait "$app" 2>/dev/null || true
app=""
echo "installed program checks passed (${length} s saved, RMS ${rms}, the M4A opened)"
