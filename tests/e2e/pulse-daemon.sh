# Private PulseAudio daemon for tests, to be sourced from bash.
#
#   pulse_start   starts a daemon in a fresh runtime directory and exports the
#                 client environment that points at it (returns 1 on failure)
#   pulse_stop    stops that daemon and removes the directory
#
# The daemon has one null sink, "tavrin_null", whose monitor is the default
# source. Unless TAVRIN_SINE=0, module-sine plays a 1 kHz tone into the sink.
# No sound card, D-Bus session or login session is needed, and it runs as root.

TAVRIN_PULSE_DIR=""
TAVRIN_PULSE_PID=""

pulse_start() {
  if [[ -n "$TAVRIN_PULSE_PID" ]]; then
    echo "pulse_start: a daemon is already running (PID $TAVRIN_PULSE_PID)" >&2
    return 1
  fi
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-pulse.XXXXXX") || return 1
  chmod 700 "$dir"
  TAVRIN_PULSE_DIR=$dir

  local script="$dir/daemon.pa"
  {
    echo "load-module module-native-protocol-unix auth-anonymous=1 auth-cookie-enabled=0 socket=$dir/native"
    # Without norewinds the monitor delivers late and what is pending is lost at stop.
    echo "load-module module-null-sink sink_name=tavrin_null norewinds=1 sink_properties=\"device.description='Tavrin Null Sink'\""
    echo "set-default-sink tavrin_null"
    echo "set-default-source tavrin_null.monitor"
    if [[ "${TAVRIN_SINE:-1}" != "0" ]]; then
      echo "load-module module-sine sink=tavrin_null frequency=1000"
    fi
  } >"$script"
  printf 'autospawn = no\n' >"$dir/client.conf"

  export XDG_RUNTIME_DIR="$dir"
  export PULSE_RUNTIME_PATH="$dir/pulse"
  export PULSE_STATE_PATH="$dir/state"
  export PULSE_SERVER="unix:$dir/native"
  export PULSE_CLIENTCONFIG="$dir/client.conf"
  export PULSE_COOKIE="$dir/cookie"
  export DBUS_SESSION_BUS_ADDRESS="disabled:"
  # Keep the daemon away from the caller's home (root's may not be writable).
  local daemonHome="$dir/home"
  mkdir -p "$daemonHome" "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"

  # As root, pulseaudio only warns about not using --system; --system=no keeps
  # it a per-user daemon on our private socket. The parent-death signal ends it
  # even if this shell is killed with SIGKILL and cannot run pulse_stop.
  HOME="$daemonHome" setpriv --pdeathsig TERM -- pulseaudio -n -F "$script" --system=no --daemonize=no \
    --exit-idle-time=-1 --use-pid-file=no --realtime=no --high-priority=no \
    --disallow-exit=no --log-target=stderr >"$dir/daemon.log" 2>&1 &
  TAVRIN_PULSE_PID=$!

  local tries
  for ((tries = 0; tries < 100; tries++)); do
    if pactl info >/dev/null 2>&1; then
      return 0
    fi
    if ! kill -0 "$TAVRIN_PULSE_PID" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  echo "pulse_start: the PulseAudio daemon did not come up; its log:" >&2
  cat "$dir/daemon.log" >&2
  pulse_stop
  return 1
}

# Safe to call more than once, and from a shell running with set -e.
pulse_stop() {
  if [[ -n "$TAVRIN_PULSE_PID" ]]; then
    kill -TERM "$TAVRIN_PULSE_PID" 2>/dev/null || true
    local tries
    for ((tries = 0; tries < 50; tries++)); do
      kill -0 "$TAVRIN_PULSE_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$TAVRIN_PULSE_PID" 2>/dev/null || true
    wait "$TAVRIN_PULSE_PID" 2>/dev/null || true
    TAVRIN_PULSE_PID=""
  fi
  if [[ -n "$TAVRIN_PULSE_DIR" ]]; then
    rm -rf -- "$TAVRIN_PULSE_DIR"
    TAVRIN_PULSE_DIR=""
  fi
  return 0
}
