#!/usr/bin/env bash
# Runs a command on a private desktop without a screen and returns its status:
#   on-desktop.sh openbox <command> [args...]   Xvfb with the openbox window manager
#   on-desktop.sh weston <command> [args...]    weston's headless Wayland compositor
# The command finds the desktop through DISPLAY, or WAYLAND_DISPLAY (an absolute
# path, so that a wrapper changing XDG_RUNTIME_DIR, as with-pulse.sh does, keeps
# it) with QT_QPA_PLATFORM=wayland. All of it is stopped however the command or
# this script ends.
set -u

if [[ $# -lt 2 || ( "$1" != openbox && "$1" != weston ) ]]; then
  echo "usage: $0 openbox|weston <command> [args...]" >&2
  exit 2
fi
desktop=$1
shift
root="$(cd "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/virtual-display.sh"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-desktop.XXXXXX")" || exit 1
chmod 700 "$scratch"
server_pid=""
command_pid=""
stop_all() {
  [[ -n "$command_pid" ]] && kill -TERM "$command_pid" 2>/dev/null && wait "$command_pid" 2>/dev/null
  if [[ -n "$server_pid" ]]; then
    kill -TERM "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  display_stop
  rm -rf -- "$scratch"
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Polls `condition` (a command) for up to 10 s while the server lives.
wait_for() {
  local tries
  for ((tries = 0; tries < 100; tries++)); do
    "$@" && return 0
    kill -0 "$server_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

wm_ready() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# server_up <name> <condition...>: waits for the server, else shows its log and fails.
server_up() {
  local name=$1
  shift
  wait_for "$@" && return 0
  echo "on-desktop.sh: $name did not come up; its log:" >&2
  cat "$scratch/$name.log" >&2
  exit 1
}

case "$desktop" in
openbox)
  display_start || exit 1
  # Its own configuration folder: the stock settings, whatever the caller's home holds.
  XDG_CONFIG_HOME="$scratch" setpriv --pdeathsig TERM -- openbox --sm-disable \
    >"$scratch/openbox.log" 2>&1 &
  server_pid=$!
  server_up openbox wm_ready
  ;;
weston)
  # Wayland wants the runtime folder private (mode 0700).
  export XDG_RUNTIME_DIR="$scratch"
  export WAYLAND_DISPLAY="$scratch/wayland-tavrin"
  unset DISPLAY
  setpriv --pdeathsig TERM -- weston --backend=headless-backend.so --use-pixman \
    --socket=wayland-tavrin --idle-time=0 >"$scratch/weston.log" 2>&1 &
  server_pid=$!
  server_up weston test -S "$WAYLAND_DISPLAY"
  export QT_QPA_PLATFORM=wayland
  # The headless compositor has no seat: Qt's Wayland text input (6.4) then
  # crashes painting a line edit's cursor. A desktop always has a keyboard.
  export QT_IM_MODULE=compose
  ;;
esac

# In the background so a signal to this script is handled at once; its
# output is kept as well as shown.
attempt() {
  "$@" <&0 > >(tee "$scratch/command.log") 2>&1 &
  command_pid=$!
  wait "$command_pid"
  status=$?
  command_pid=""
}
attempt "$@"
# Qt 6.4's Wayland client now and then aborts inside libwayland as a window is
# hidden on a loaded machine (wl_proxy_unref on a proxy already released).
# That abort alone is tried once more, and said; any other failure stands.
if [[ "$desktop" == weston && $status -ne 0 ]] &&
  grep -q "wl_proxy_unref: Assertion" "$scratch/command.log"; then
  echo "on-desktop.sh: Qt's Wayland client aborted in libwayland (wl_proxy_unref); running once more" >&2
  attempt "$@"
fi
exit "$status"
