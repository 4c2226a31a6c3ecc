#!/usr/bin/env python3
"""The sounds the program played while the list was used: one per selection,
in order, each its row's image; none before the first selection.

usage: check_list_sounds.py RECORDED.raw FOLDER ROW...
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "playback"))
from audio_match import RATE, judge, read_raw, samples_of, segments  # noqa: E402


def main():
    raw, folder, rows = sys.argv[1], sys.argv[2], sys.argv[3:]
    rec = read_raw(raw)
    images = [samples_of(f"{folder}/row{r}.wav") for r in rows]
    segs = segments(rec)
    print(f"recorded {len(rec) / RATE:.2f} s; sounds at " +
          ", ".join(f"{a / RATE:.2f}-{b / RATE:.2f} s" for a, b in segs))
    problems = []
    if len(segs) != len(rows):
        problems.append(f"expected {len(rows)} sounds, heard {len(segs)}")
    elif segs[0][0] < RATE * 1.5:
        problems.append("a sound before the first selection")
    else:
        for row, seg, image in zip(rows, segs, images):
            judge(rec, seg, image, f"row {row}", problems)
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
