# PipeWire serving PulseAudio clients, for tests; sourced by pulse-daemon.sh,
# whose pulse_start calls pipewire_launch when TAVRIN_SERVER=pipewire.
#
#   pipewire_launch DIR   starts pipewire, wireplumber and pipewire-pulse in the
#                         private runtime directory DIR that pulse_start made
#                         and exported, adds the null sink (and the tone), and
#                         returns once clients can use them (1 on failure)
#
# Every process it starts is in TAVRIN_PULSE_PIDS, the one clients talk to is
# TAVRIN_PULSE_PID, and pulse_stop ends them all. The logs are DIR/*.log.

pipewire_sink_running() {
  pactl list short sinks 2>/dev/null | grep -q $'^[0-9]*\ttavrin_null\t.*RUNNING'
}

pipewire_launch() {
  local dir=$1
  export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
  # No session manager parts that need D-Bus or would take over real devices;
  # the flatpak portal and logind (bluetooth's seat tracking) would end
  # wireplumber at start without a D-Bus session. Sorted before
  # 90-enable-all.lua, which acts on these settings.
  local wp="$dir/config/wireplumber"
  mkdir -p "$wp/main.lua.d" "$wp/bluetooth.lua.d"
  cat >"$wp/main.lua.d/60-tavrin-tests.lua" <<'LUA'
default_access.properties["enable-flatpak-portal"] = false
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
LUA
  echo 'bluez_monitor.enabled = false' >"$wp/bluetooth.lua.d/60-tavrin-tests.lua"

  pulse_spawn "$dir/pipewire.log" pipewire
  # The others connect to its socket once, at start.
  pulse_wait_for test -S "$dir/pipewire-0" || return 1
  pulse_spawn "$dir/wireplumber.log" wireplumber
  pulse_spawn "$dir/pipewire-pulse.log" pipewire-pulse
  TAVRIN_PULSE_PID=${TAVRIN_PULSE_PIDS[-1]}
  pulse_wait_for pactl info >/dev/null 2>&1 || return 1
  # The graph's cycle otherwise shrinks to what the lowest-latency stream asks
  # (about 5 ms for the tests' 10 ms monitor reads), and a busy 2-core machine
  # then lets pipewire-pulse miss cycles: silence in place of audio. 1024
  # frames (21 ms at 48 kHz) is PipeWire's own default quantum.
  pw-metadata -n settings 0 clock.min-quantum 1024 >/dev/null || return 1

  pactl load-module module-null-sink sink_name=tavrin_null \
    "sink_properties=device.description='Tavrin Null Sink'" >/dev/null || return 1
  # The defaults live in wireplumber's metadata: setting them fails until it is up.
  pulse_wait_for pactl set-default-sink tavrin_null 2>/dev/null || return 1
  pulse_wait_for pactl set-default-source tavrin_null.monitor 2>/dev/null || return 1

  if [[ "${TAVRIN_SINE:-1}" != "0" ]]; then
    # pipewire-pulse has no module-sine: a client plays the same tone (RMS
    # 0.3536 of full scale) at the graph's rate, paced by the sink.
    local rate
    rate=$(pactl info | sed -n 's/^Default Sample.* \([0-9]*\)Hz$/\1/p')
    rate=${rate:-48000}
    mkfifo "$dir/tone.fifo" || return 1
    # Written to the FIFO as standard output: sox opens a named output file for
    # reading too, and would then neither see the player go nor end at SIGTERM.
    setpriv --pdeathsig TERM -- sox -q -n -r "$rate" -c 2 -b 16 -e signed -t raw - \
      synth 86400 sine 1000 vol 0.5 >"$dir/tone.fifo" 2>"$dir/tone-generator.log" &
    TAVRIN_PULSE_PIDS+=("$!")
    pulse_spawn "$dir/tone-player.log" pacat --playback -d tavrin_null --format=s16le \
      --rate="$rate" --channels=2 --client-name="Tavrin test tone" "$dir/tone.fifo"
    pulse_wait_for pipewire_sink_running || return 1
  fi
  return 0
}
