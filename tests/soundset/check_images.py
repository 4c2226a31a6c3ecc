#!/usr/bin/env python3
"""Reads back the images the wave test wrote for the default sound set:
each is a valid RIFF/WAVE file of 22,050 Hz 16-bit mono; a raw image holds
exactly the converter's wave; an enveloped image equals a rendering computed
here from the raw one (gain, loop, rounding halves to even, silence past the
samples).

usage: check_images.py FOLDER SOUNDSET.json
"""
import array
import json
import math
import struct
import sys
import wave

RATE = 22050
STEP = struct.unpack("<f", struct.pack("<f", 1 / RATE))[0]
ATTACK, SUSTAIN, RELEASE = 0.0, 0.5, 0.25


def read(path):
    with wave.open(path, "rb") as w:
        fmt = (w.getframerate(), w.getnchannels(), w.getsampwidth())
        data = array.array("h", w.readframes(w.getnframes()))
    return fmt, data


def gain(t):
    if t < 0:
        return 0.0
    if t < ATTACK:
        return t / ATTACK
    if t < SUSTAIN:
        return 1.0
    if t < SUSTAIN + RELEASE:
        return 1 - (t - SUSTAIN) / RELEASE
    return 0.0


def render(source, loop_start, loop_length):
    n = math.ceil((SUSTAIN + RELEASE) * RATE)
    out = []
    for i in range(n):
        if i < loop_start + loop_length:
            j = i
        else:
            j = loop_start + (i - loop_start) % (loop_length or 1)
        out.append(round(gain(i * STEP) * source[j]) if j < len(source) else 0)
    return out


def main():
    folder, meta = sys.argv[1], json.load(open(sys.argv[2]))
    problems, count = [], 0
    for line in open(f"{folder}/manifest.txt"):
        i, cue, loop_start, loop_length = map(int, line.split())
        fmt, raw = read(f"{folder}/raw-{i}.wav")
        wave_meta = meta["waves"][cue]
        if fmt != (RATE, 1, 2):
            problems.append(f"raw {i}: format {fmt}")
        if len(raw) != wave_meta["length"]:
            problems.append(f"raw {i}: {len(raw)} samples, the converter wrote {wave_meta['length']}")
        fmt, env = read(f"{folder}/env-{i}.wav")
        if fmt != (RATE, 1, 2):
            problems.append(f"envelope {i}: format {fmt}")
        if list(env) != render(raw, loop_start, loop_length):
            problems.append(f"envelope {i}: samples differ from the rendering computed here")
        count += 1
    print(f"{count} instruments: raw and enveloped images checked")
    for p in problems[:20]:
        print("FAIL:", p)
    return 1 if problems or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
