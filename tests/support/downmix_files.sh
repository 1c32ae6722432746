#!/usr/bin/env bash
# Makes, in folder $1, surround files with a tone on one channel at a time,
# each beside what `ffmpeg -ac 2` mixes it to (NAME.ref.wav): for the layouts
# 3.0, quad, 5.0, 5.1, 6.1 and 7.1, the tone (1 s of 500 Hz at half scale,
# 44100 Hz) on channel K of LAYOUT is LAYOUT-K.wav (a channel mask), .flac,
# .ogg (Vorbis), .opus and .mka (FLAC in Matroska). Also unknown.mka: six
# channels of PCM in Matroska, which states no speakers, the tone on the first.
set -euo pipefail
dir="$1"
mkdir -p "$dir"
cd "$dir"
ff() { ffmpeg -nostdin -v error -y "$@"; }
tone=(-f lavfi -i "sine=frequency=500:sample_rate=44100:duration=1")
declare -A speakers=([3.0]="FL FR FC" [quad]="FL FR BL BR" [5.0]="FL FR FC BL BR"
  [5.1]="FL FR FC LFE BL BR" [6.1]="FL FR FC LFE BC SL SR" [7.1]="FL FR FC LFE BL BR SL SR")
extensions=(wav flac ogg opus mka)
codecs=(pcm_s16le flac libvorbis libopus flac)
rates=(44100 44100 44100 48000 44100)  # Opus codes 48 kHz only
for layout in "${!speakers[@]}"; do
  # One run makes every file of the layout, and one more mixes them all down.
  graph=""
  outputs=()
  references=()
  k=0
  for speaker in ${speakers[$layout]}; do
    # A gain other than 1: pan's plain channel mapping ignores the speaker named.
    graph+="[0:a]pan=$layout|$speaker=4*c0,asplit=5[${k}_0][${k}_1][${k}_2][${k}_3][${k}_4];"
    for c in "${!codecs[@]}"; do
      name="$layout-$k.${extensions[c]}"
      outputs+=(-map "[${k}_$c]" -c:a "${codecs[c]}" -ar "${rates[c]}" "$name")
      references+=(-i "$name")
    done
    k=$((k + 1))
  done
  ff "${tone[@]}" -filter_complex "${graph%;}" "${outputs[@]}"
  maps=()
  for ((i = 0; i < ${#references[@]} / 2; i++)); do
    maps+=(-map "$i:a" -ac 2 -c:a pcm_s16le "${references[2 * i + 1]}.ref.wav")
  done
  ff "${references[@]}" "${maps[@]}"
done
ff "${tone[@]}" -af "pan=5.1|FL=4*c0" -c:a pcm_s16le unknown.mka
