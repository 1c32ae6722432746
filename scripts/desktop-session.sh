# A private desktop for driving the real program, to be sourced from bash after
# `root` is set: a virtual display, a private PulseAudio daemon playing a 1 kHz
# tone, and a scratch folder `work`. Whatever runs as `app` is stopped, and all
# of it removed, when the script exits.
source "$root/scripts/virtual-display.sh"
source "$root/tests/e2e/pulse-daemon.sh"
work="$(mktemp -d)"
app=""
desktop_session_cleanup() {
  if [[ -n "$app" ]]; then
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
  fi
  pulse_stop
  display_stop
  rm -rf "$work"
}
trap desktop_session_cleanup EXIT
display_start
pulse_start
# Where the Record button's centre lies in window coordinates (menu bar 24 px,
# button at 234,272, 50 x 28).
record_button_x=259
record_button_y=310
