# Private PulseAudio server for tests, to be sourced from bash.
#
#   pulse_start   starts a server in a fresh runtime directory and exports the
#                 client environment that points at it (returns 1 on failure)
#   pulse_stop    stops that server and removes the directory
#
# TAVRIN_SERVER picks the server: "pulseaudio" (the default), PulseAudio's own
# daemon, or "pipewire", PipeWire with its PulseAudio server (pipewire-daemon.sh).
# pulse_start exports the choice for the clients. Either way there is one null
# sink, "tavrin_null", whose monitor is the default source, and unless
# TAVRIN_SINE=0 a 1 kHz tone plays into the sink. No sound card, D-Bus session
# or login session is needed, and it runs as root.

TAVRIN_PULSE_DIR=""
TAVRIN_PULSE_PID=""  # the server clients talk to
TAVRIN_PULSE_PIDS=() # every process started for it, in order

source "$(dirname -- "${BASH_SOURCE[0]}")/pipewire-daemon.sh"

# Runs a server process in the background, its output in LOG, its home and
# configuration inside the private directory (root's may not be writable, and
# the caller's own settings stay out). The parent-death signal ends it even if
# this shell is killed with SIGKILL and cannot run pulse_stop.
pulse_spawn() {
  local log=$1
  shift
  HOME="$TAVRIN_PULSE_DIR/home" XDG_CONFIG_HOME="$TAVRIN_PULSE_DIR/config" \
    XDG_STATE_HOME="$TAVRIN_PULSE_DIR/state" \
    setpriv --pdeathsig TERM -- "$@" >"$log" 2>&1 &
  TAVRIN_PULSE_PIDS+=("$!")
}

# Polls `$@` every 50 ms for up to 10 s while every process started lives.
pulse_wait_for() {
  local tries pid
  for ((tries = 0; tries < 200; tries++)); do
    "$@" && return 0
    for pid in "${TAVRIN_PULSE_PIDS[@]}"; do
      kill -0 "$pid" 2>/dev/null || return 1
    done
    sleep 0.05
  done
  return 1
}

pulse_start() {
  if [[ ${#TAVRIN_PULSE_PIDS[@]} -gt 0 ]]; then
    echo "pulse_start: a server is already running (PIDs ${TAVRIN_PULSE_PIDS[*]})" >&2
    return 1
  fi
  local server=${TAVRIN_SERVER:-pulseaudio}
  if [[ "$server" != pulseaudio && "$server" != pipewire ]]; then
    echo "pulse_start: TAVRIN_SERVER must be pulseaudio or pipewire, not '$server'" >&2
    return 1
  fi
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-pulse.XXXXXX") || return 1
  chmod 700 "$dir"
  TAVRIN_PULSE_DIR=$dir

  export TAVRIN_SERVER="$server"
  export XDG_RUNTIME_DIR="$dir"
  export PULSE_RUNTIME_PATH="$dir/pulse"
  export PULSE_STATE_PATH="$dir/state"
  export PULSE_SERVER="unix:$dir/native"
  export PULSE_CLIENTCONFIG="$dir/client.conf"
  export PULSE_COOKIE="$dir/cookie"
  export DBUS_SESSION_BUS_ADDRESS="disabled:"
  printf 'autospawn = no\n' >"$dir/client.conf"
  mkdir -p "$dir/home" "$dir/config" "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"

  if [[ "$server" == pipewire ]]; then
    pipewire_launch "$dir" && return 0
  else
    pulse_launch "$dir" && return 0
  fi
  echo "pulse_start: the $server server did not come up; its logs:" >&2
  tail -n 30 -- "$dir"/*.log >&2
  pulse_stop
  return 1
}

# PulseAudio's own daemon in DIR; returns once clients can use it.
pulse_launch() {
  local dir=$1
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

  # As root, pulseaudio only warns about not using --system; --system=no keeps
  # it a per-user daemon on our private socket.
  pulse_spawn "$dir/daemon.log" pulseaudio -n -F "$script" --system=no --daemonize=no \
    --exit-idle-time=-1 --use-pid-file=no --realtime=no --high-priority=no \
    --disallow-exit=no --log-target=stderr
  TAVRIN_PULSE_PID=${TAVRIN_PULSE_PIDS[-1]}
  pulse_wait_for pactl info >/dev/null 2>&1
}

# Safe to call more than once, and from a shell running with set -e.
pulse_stop() {
  # Last started first: the tone and the clients of pipewire before it.
  local i pid tries
  for ((i = ${#TAVRIN_PULSE_PIDS[@]} - 1; i >= 0; i--)); do
    pid=${TAVRIN_PULSE_PIDS[i]}
    kill -TERM "$pid" 2>/dev/null || true
    for ((tries = 0; tries < 50; tries++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  TAVRIN_PULSE_PIDS=()
  TAVRIN_PULSE_PID=""
  if [[ -n "$TAVRIN_PULSE_DIR" ]]; then
    rm -rf -- "$TAVRIN_PULSE_DIR"
    TAVRIN_PULSE_DIR=""
  fi
  return 0
}
