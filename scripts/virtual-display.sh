# Virtual X display for machines without one, to be sourced from bash.
#   display_start   starts Xvfb on a free display and exports DISPLAY
#   display_stop    stops it
TAVRIN_XVFB_PID=""

display_start() {
  # Xvfb picks the first free display itself and writes its number once it
  # takes connections, so two tests starting at once never share one. Without
  # -noreset it resets when its last client leaves, and a program started in
  # that moment (the next one a test runs) cannot connect.
  local numberFile
  numberFile="$(mktemp)" || return 1
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
  TAVRIN_XVFB_PID=$!
  local tries
  for ((tries = 0; tries < 100; tries++)); do
    if [[ -s "$numberFile" ]]; then
      export DISPLAY=":$(tr -d '[:space:]' <"$numberFile")"
      rm -f -- "$numberFile"
      return 0
    fi
    kill -0 "$TAVRIN_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f -- "$numberFile"
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
