#!/usr/bin/env python3
"""Where clicks land in the two channels of a 16-bit stereo WAV file.

Each click is the first sample above a quarter of full scale after at least
0.2 s of quiet in its channel. Prints "<clicks> <largest offset ms>": how many
clicks the two channels share and how far apart the furthest pair is (right
after left is positive). Fails when a channel has none.
    click_offsets.py <file.wav>
"""
import sys
import wave


def onsets(samples, rate):
    quiet = int(0.2 * rate)
    found, last = [], -quiet
    for index, value in enumerate(samples):
        if abs(value) >= 8192:
            if index - last >= quiet:
                found.append(index)
            last = index
    return found


def main(path):
    with wave.open(path, "rb") as sound:
        if sound.getnchannels() != 2 or sound.getsampwidth() != 2:
            sys.exit(f"{path}: not 16-bit stereo")
        rate = sound.getframerate()
        data = memoryview(sound.readframes(sound.getnframes())).cast("h")
    left, right = onsets(data[0::2], rate), onsets(data[1::2], rate)
    if not left or not right:
        sys.exit(f"{path}: clicks left {len(left)}, right {len(right)}")
    offsets = []
    for onset in left:
        nearest = min(right, key=lambda other: abs(other - onset))
        if abs(nearest - onset) < 0.1 * rate:
            offsets.append((nearest - onset) * 1000.0 / rate)
    if not offsets:
        sys.exit(f"{path}: no click in one channel within 100 ms of the other's")
    worst = max(offsets, key=abs)
    print(f"{len(offsets)} {worst:.2f}")


if __name__ == "__main__":
    main(sys.argv[1])
