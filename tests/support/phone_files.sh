#!/usr/bin/env bash
# Makes, in folder $1, the files phones, browsers and cameras hand over, with
# the ffmpeg command line: from tone.wav (6 s of 1 kHz at half scale, 44100 Hz
# 16-bit stereo) the same tone as AAC in M4A (its index at the end, and at
# the front as phones write it: memo.m4a), ALAC in M4A, Opus in WebM,
# Vorbis in Matroska, WMA, AC-3 and the sound track of an MP4 video; a video
# without sound; a Matroska file with two sound tracks. $2 sets the seconds.
set -euo pipefail
dir="$1"
seconds="${2:-6}"
mkdir -p "$dir"
cd "$dir"
ff() { ffmpeg -nostdin -v error -y "$@"; }
ff -f lavfi -i "sine=frequency=1000:sample_rate=44100:duration=$seconds" \
  -af "volume=4.0,pan=stereo|c0=c0|c1=c0" -c:a pcm_s16le tone.wav
ff -i tone.wav -c:a aac -b:a 128k tone.m4a
ff -i tone.wav -c:a aac -b:a 128k -movflags +faststart memo.m4a
ff -i tone.wav -c:a alac alac.m4a
ff -i tone.wav -c:a libopus -b:a 96k tone.webm
ff -i tone.wav -c:a libvorbis tone.mka
ff -i tone.wav -c:a wmav2 tone.wma
ff -i tone.wav -c:a ac3 tone.ac3
picture=(-f lavfi -i "testsrc=size=160x120:rate=25:duration=$seconds")
ff "${picture[@]}" -i tone.wav -map 0:v -map 1:a -c:v mpeg4 -c:a aac -shortest video.mp4
ff "${picture[@]}" -c:v mpeg4 silent-video.mp4
ff -i tone.wav -map 0:a -map 0:a -c:a libvorbis -metadata:s:a:0 language=eng two-tracks.mkv
