#!/usr/bin/env bash
# Runs a command against a private PulseAudio daemon and returns its status:
#   with-pulse.sh <command> [args...]
# The daemon is stopped however the command or this script ends. With
# TAVRIN_SERVER=pipewire (with-pipewire.sh) the server is PipeWire's instead.
set -u

if [[ $# -lt 1 ]]; then
  echo "usage: $0 <command> [args...]" >&2
  exit 2
fi

source "$(dirname -- "${BASH_SOURCE[0]}")/pulse-daemon.sh"

trap 'pulse_stop' EXIT
# Exiting from the handler runs the EXIT trap, which stops the daemon.
trap 'exit 130' INT
trap 'exit 143' TERM

pulse_start || exit 1

# In the background so a signal to this script is handled at once, not after
# the command ends. Bash makes a background command ignore SIGINT, so an
# interrupt is passed on as SIGTERM.
"$@" <&0 &
commandPid=$!
trap 'kill -TERM "$commandPid" 2>/dev/null; wait "$commandPid" 2>/dev/null; exit 130' INT
trap 'kill -TERM "$commandPid" 2>/dev/null; wait "$commandPid" 2>/dev/null; exit 143' TERM
wait "$commandPid"
exit $?
