# Driving the real program on the virtual display, to be sourced from bash
# after scripts/desktop-session.sh; the program's process id is in `app`.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# Gone, or a zombie waiting to be reaped.
program_ended() {
  local stat
  stat="$(cat "/proc/$app/stat" 2>/dev/null)" || return 0
  stat="${stat##*) }"
  [[ "${stat%% *}" == Z ]]
}
# wait_for <seconds> <what> <command...>: polls the command every 0.1 s.
wait_for() {
  local seconds="$1" what="$2"
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || fail "timed out waiting for $what"
    if [[ "$1" != program_ended ]] && program_ended; then fail "the program ended while waiting for $what"; fi
    sleep 0.1
  done
}
size_at_least() { [[ -f "$1" ]] && (($(stat -c %s "$1") >= $2)); }
visible_windows() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l; }
only_main_window() { [[ "$(visible_windows)" -eq 1 ]]; }
more_windows() { (($(visible_windows) > 1)); }
window_named() { xdotool search --onlyvisible --pid "$app" --name "$1" >/dev/null 2>&1; }
# The first visible window of the program whose whole name matches a glob
# (xdotool's own search also matches windows whose name is still being set).
window_id() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    # shellcheck disable=SC2053
    if [[ "$(xdotool getwindowname "$id" 2>/dev/null)" == $1 ]]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}
window_shown() { window_id "$1" >/dev/null; }
windows_at_least() { (($(visible_windows) >= $1)); }
# File > Save All in the editor window $1, up to its file dialog.
open_save_all_dialog() {
  xdotool mousemove --window "$1" 20 12 click 1
  wait_for 10 "the File menu" windows_at_least 3
  xdotool key Down Down Return # past File > Open to Save All
  wait_for 20 "the file dialog" window_shown 'Save As'
}
# Presses Return in the message box of another process, $1 (a second start).
press_return_in_box_of() {
  local box
  box="$(xdotool search --all --sync --onlyvisible --pid "$1" --name 'Tavrin Recorder' | head -1)"
  xdotool windowfocus --sync "$box"
  xdotool key Return
}
# A copy of the program in the scratch folder, so that its work folder (Temp
# beside it) is the test's alone; the programs' logs ($work/program*.log) are
# shown when the test fails.
program_copy() {
  bin="$work/bin"
  workFolder="$bin/Temp"
  mkdir -p "$bin" "$work/home"
  cp "$1" "$bin/tavrin-recorder"
  # The module that opens what libsndfile does not, loaded from beside it.
  cp "$(dirname "$1")/tavrin_ffmpeg.so" "$bin/"
  # Its translations, where the build puts them beside it.
  if [[ -d "$(dirname "$1")/translations" ]]; then cp -r "$(dirname "$1")/translations" "$bin/"; fi
  trap 'status=$?; [[ $status -eq 0 ]] || { for log in "$work"/program*.log; do echo "$log:" >&2; cat "$log" >&2; done; }; desktop_session_cleanup' EXIT
}
# Runs the copy with the scratch home on the virtual display; started with &,
# its process id is $! itself.
run_program() {
  HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    QT_QPA_PLATFORM=xcb exec "$bin/tavrin-recorder" "$@"
}
