#!/usr/bin/env bash
# Saves screenshots of the recorder window in colour schemes 1 and 5 while it
# records a 1 kHz tone, and of the editor with that take and a selection, on a virtual display
# with a private PulseAudio daemon.
#   scripts/screenshots.sh [output folder] [build folder]
# The output folder defaults to screenshots/; the user guide's pictures are
# made with packaging/help/tavrin-recorder-help. Without a build folder the
# script configures and builds build-release.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/screenshots}"
build="${2:-}"
mkdir -p "$out"

"$root/scripts/install-deps"
if [[ -z "$build" ]]; then
  build="$root/build-release"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF \
    -DTAVRIN_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target tavrin-recorder >/dev/null

source "$root/scripts/desktop-session.sh"
export XDG_DATA_HOME="$work/data"

for scheme in 1 5; do
  mkdir -p "$work/$scheme"
  cp "$build/bin/tavrin-recorder" "$work/$scheme/"
  printf '[Window Colors]\nColor=%s\n' "$scheme" >"$work/$scheme/tavrin-recorder.INI"
  "$work/$scheme/tavrin-recorder" 2>/dev/null &
  app=$!
  window="$(xdotool search --sync --pid "$app" --name 'Tavrin Recorder' | head -1)"
  sleep 1
  xdotool mousemove --window "$window" "$record_button_x" "$record_button_y" click 1  # Record
  sleep 5
  import -window "$window" "$out/recorder-scheme-$scheme.png"
  echo "saved $out/recorder-scheme-$scheme.png"
  xdotool mousemove --window "$window" $((record_button_x + 53)) "$record_button_y" click 1  # Stop
  xdotool mousemove --window "$window" $((record_button_x + 106)) "$record_button_y" click 1  # Edit
  editor=""
  for ((tries = 0; tries < 100; tries++)); do
    editor="$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -vx "$window" | head -1 || true)"
    [[ -n "$editor" ]] && break
    sleep 0.1
  done
  sleep 1
  if [[ $scheme == 1 ]]; then
    import -window "$editor" "$out/editor.png"
    echo "saved $out/editor.png"
  fi
  # A selection dragged over the take (about 50 columns of waveform from x = 30).
  xdotool mousemove --window "$editor" 40 260 mousedown 1 mousemove --window "$editor" 55 260 \
    mousemove --window "$editor" 72 260 mouseup 1
  sleep 0.5
  import -window "$editor" "$out/editor-scheme-$scheme.png"
  echo "saved $out/editor-scheme-$scheme.png"
  kill "$app"
  wait "$app" 2>/dev/null || true
  app=""
done
