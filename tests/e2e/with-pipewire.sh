#!/usr/bin/env bash
# Runs a command against a private PipeWire (pipewire, wireplumber and
# pipewire-pulse) and returns its status, as with-pulse.sh does with PulseAudio's
# own daemon; the command sees TAVRIN_SERVER=pipewire:
#   with-pipewire.sh <command> [args...]
TAVRIN_SERVER=pipewire exec "$(dirname -- "${BASH_SOURCE[0]}")/with-pulse.sh" "$@"
