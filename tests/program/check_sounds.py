#!/usr/bin/env python3
"""The sounds the program played while it was used: one per image given, in
order, each that image; none in the first 1.5 s of the recording.

usage: check_sounds.py RECORDED.raw IMAGE.wav...
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "playback"))
from audio_match import RATE, judge, read_raw, samples_of, segments  # noqa: E402


def main():
    rec = read_raw(sys.argv[1])
    names = sys.argv[2:]
    images = [samples_of(name) for name in names]
    segs = segments(rec)
    print(f"recorded {len(rec) / RATE:.2f} s; sounds at " +
          ", ".join(f"{a / RATE:.2f}-{b / RATE:.2f} s" for a, b in segs))
    problems = []
    if len(segs) != len(images):
        problems.append(f"expected {len(images)} sounds, heard {len(segs)}")
    elif segs[0][0] < RATE * 1.5:
        problems.append("a sound before the first selection")
    else:
        for name, seg, image in zip(names, segs, images):
            judge(rec, seg, image, os.path.basename(name), problems)
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
