# Virtual X display for machines without one, to be sourced from bash.
#   display_start   starts Xvfb on a free display number and exports DISPLAY
#   display_stop    stops it
TAVRIN_XVFB_PID=""

display_start() {
  local number
  for number in $(seq 90 130); do
    [[ -e "/tmp/.X11-unix/X$number" || -e "/tmp/.X$number-lock" ]] && continue
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    TAVRIN_XVFB_PID=$!
    local tries
    for ((tries = 0; tries < 50; tries++)); do
      if [[ -e "/tmp/.X11-unix/X$number" ]]; then
        export DISPLAY=":$number"
        return 0
      fi
      kill -0 "$TAVRIN_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "display_start: could not start Xvfb" >&2
  return 1
}

display_stop() {
  if [[ -n "$TAVRIN_XVFB_PID" ]]; then
    kill "$TAVRIN_XVFB_PID" 2>/dev/null
    wait "$TAVRIN_XVFB_PID" 2>/dev/null
    TAVRIN_XVFB_PID=""
  fi
}
