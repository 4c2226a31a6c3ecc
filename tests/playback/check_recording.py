#!/usr/bin/env python3
"""Checks a recording of the playback test (raw 16-bit mono at 22,050 Hz):
three sounds, each the image that was played (by correlation and loudness),
block by block in order, the first two played to their end (short by at most
END_SHORTFALL samples) and no longer than their images, the third cut short
by the stop.

usage: check_recording.py RECORDED.raw FOLDER_WITH_PLAYED_IMAGES
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from audio_match import (RATE, WINDOW, ACTIVE, END_SHORTFALL, judge, read_raw, rms,  # noqa: E402
                         samples_of, segments, sounding_windows)


def main():
    raw, folder = sys.argv[1], sys.argv[2]
    rec = read_raw(raw)
    played = [samples_of(f"{folder}/played-{n}.wav") for n in ("raw", "envelope", "stopped")]
    problems = []
    segs = segments(rec)
    print(f"recorded {len(rec) / RATE:.2f} s; sounds at " +
          ", ".join(f"{a / RATE:.2f}-{b / RATE:.2f} s" for a, b in segs))
    if len(segs) != 3:
        problems.append(f"expected 3 sounds, heard {len(segs)}")
    elif segs[0][0] == 0:
        problems.append("the recording started inside the first sound")
    else:
        # The first two are heard to their end, the third is cut short.
        for n, (seg, image) in enumerate(zip(segs, played)):
            following = segs[n + 1][0] if n + 1 < len(segs) else None
            shape, short, extra = judge(rec, seg, image, f"sound {n}", problems, following)
            if n < 2 and short > END_SHORTFALL:
                problems.append(f"sound {n} was not heard to its end: {short} samples missing")
            if n < 2 and extra > ACTIVE:
                problems.append(f"sound {n} goes on after its image ends (RMS {extra:.0f})")
            if n == 1 and shape < 0.9:   # the envelope's rise and fall
                problems.append(f"sound {n}: loudness shape correlation {shape:.3f}")
        # The stopped sound is cut far short of its three seconds, and all is
        # quiet after it.
        if len(sounding_windows(rec, *segs[2])) * WINDOW / RATE > 1.5:
            problems.append("the stop did not silence the player")
        tail = rec[segs[2][1] + WINDOW:]
        if tail and rms(tail) > ACTIVE / 3:
            problems.append(f"sound after the stop (RMS {rms(tail):.0f})")
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
