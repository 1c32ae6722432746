# Steps of the unattended-recording test and benchmark, to be sourced after
# drive-program.sh and program_copy: the tone on the private daemon, the
# settings file, and what sox measures in a saved file.

tone_module=""
tone_on() { tone_module="$(pactl load-module module-sine sink=tavrin_null frequency=1000)"; }
tone_off() {
  [[ -z "$tone_module" ]] || pactl unload-module "$tone_module"
  tone_module=""
}
# Seconds after local midnight at epoch second $1.
second_of_day() { echo $((10#$(date -d "@$1" +%H) * 3600 + 10#$(date -d "@$1" +%M) * 60 + 10#$(date -d "@$1" +%S))); }
# write_settings <output folder> <more sections>: WAV saves into the folder.
write_settings() {
  mkdir -p "$1"
  printf '[Save Format]\nWav=1\nMP3=0\nSamplePerSecond=44100\nBitPerSample=16\nChannels=2\n[Output Folder]\nName=%s\n%s\n' \
    "$1" "$2" >"$bin/tavrin-recorder.INI"
}
# saved_files <folder> <count>: that many WAV files, none still being written.
saved_files() {
  local files=("$1"/*.wav)
  [[ -e "${files[0]}" && ${#files[@]} -ge $2 ]] && ! compgen -G "$1/.tavrin-save-*" >/dev/null
}
seconds_between() {
  local length
  length="$(sox --i -D "$1")"
  awk -v l="$length" -v lo="$2" -v hi="$3" 'BEGIN { exit !(l >= lo && l <= hi) }' ||
    fail "$(basename "$1") lasts $length s, not $2..$3 s"
}
# Milliseconds from the file's start to its first sound (above 0.1 % of full scale).
onset_ms() {
  local trimmed="$work/trimmed.wav" all rest
  sox "$1" "$trimmed" silence 1 1 0.1%
  all="$(sox --i -s "$1")"
  rest="$(sox --i -s "$trimmed")"
  echo $(((all - rest) * 1000 / 44100))
}
