#!/usr/bin/env bash
# The window and the tray on a real desktop (openbox with a tray host on the
# virtual display): minimised with "minimise to tray" on, the window leaves for
# the tray; --show brings it back; hidden again, it comes back by itself when
# the tray host ends, and the icon returns with a new tray host. The first
# tray host comes up after the program, as at a login.
#   tray_test.sh <program>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/desktop-session.sh"
source "$root/tests/e2e/drive-program.sh"
program_copy "$1"
printf '[Window]\nMinimizeToTray=1\n' >"$bin/tavrin-recorder.INI"

# Both end with the display should the test fail.
openbox >"$work/program-openbox.log" 2>&1 &
desktop_pids=($!)
start_tray() {
  trayer --expand false >"$work/program-trayer.log" 2>&1 &
  tray=$!
  desktop_pids+=("$tray")
}
main_shown() { window_shown 'Tavrin Recorder - *'; }
main_hidden() { ! main_shown; }
icon_shown() { window_shown 'Tavrin Recorder'; }
run_program >"$work/program.log" 2>&1 &
app=$!
wait_for 30 "the window" main_shown
# A tray host that comes up after the program (as at a login) gets its icon.
start_tray
wait_for 30 "the tray icon" icon_shown
minimise() { xdotool windowminimize "$(window_id 'Tavrin Recorder - *')"; }

minimise
wait_for 10 "the window to leave for the tray" main_hidden
(run_program --show) >/dev/null || fail "--show failed"
wait_for 10 "--show to bring the window back from the tray" main_shown

minimise
wait_for 10 "the window to leave for the tray again" main_hidden
kill "$tray"
wait_for 10 "the window to come back when the tray went away" main_shown
start_tray
wait_for 20 "the icon to return with a new tray" icon_shown
kill "${desktop_pids[@]}" 2>/dev/null || true
echo "tray: the window leaves for the tray and always comes back"
