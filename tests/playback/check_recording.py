#!/usr/bin/env python3
"""Checks a recording of the playback test (raw 16-bit mono at 22,050 Hz):
three sounds, each the image that was played (by correlation and loudness),
the first two played to their end and the third cut short by the stop.

usage: check_recording.py RECORDED.raw FOLDER_WITH_PLAYED_IMAGES
"""
import array
import math
import sys
import wave

RATE = 22050
WINDOW = 220          # 10 ms
ACTIVE = 300          # RMS of a window that carries sound


def samples_of(path):
    with wave.open(path, "rb") as w:
        assert w.getframerate() == RATE and w.getnchannels() == 1 and w.getsampwidth() == 2
        data = array.array("h", w.readframes(w.getnframes()))
    return data


def rms(xs):
    return math.sqrt(sum(x * x for x in xs) / len(xs)) if xs else 0.0


def segments(rec):
    active = [rms(rec[i:i + WINDOW]) > ACTIVE for i in range(0, len(rec) - WINDOW, WINDOW)]
    segs, start, gap = [], None, 0
    for n, a in enumerate(active):
        if a:
            if start is None:
                start = n
            gap = 0
            end = n + 1
        elif start is not None:
            gap += 1
            if gap > 5:
                segs.append((start * WINDOW, end * WINDOW))
                start = None
    if start is not None:
        segs.append((start * WINDOW, end * WINDOW))
    return segs


def onset(xs, level=500):
    for i, x in enumerate(xs):
        if abs(x) > level:
            return i
    return 0


def best_correlation(rec, at, image, length=4000, search=120):
    """Highest normalised correlation of the image's first `length` samples
    with the recording around the aligned position `at`."""
    ref = image[:length]
    ref_energy = math.sqrt(sum(x * x for x in ref))
    best = 0.0
    for lag in range(-search, search + 1):
        s = at + lag
        if s < 0 or s + len(ref) > len(rec):
            continue
        part = rec[s:s + len(ref)]
        energy = math.sqrt(sum(x * x for x in part))
        if energy == 0:
            continue
        c = sum(a * b for a, b in zip(part, ref)) / (energy * ref_energy)
        best = max(best, c)
    return best


def main():
    raw, folder = sys.argv[1], sys.argv[2]
    rec = array.array("h")
    with open(raw, "rb") as f:
        rec.frombytes(f.read())
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
        expected = [(0.9, 1.1), (0.75, 0.95), (0.2, 1.0)]
        for n, ((a, b), image, (lo, hi)) in enumerate(zip(segs, played, expected)):
            seconds = (b - a) / RATE
            if not lo <= seconds <= hi:
                problems.append(f"sound {n}: {seconds:.2f} s, expected {lo}-{hi} s")
            lead = max(0, a - WINDOW)
            start = lead + onset(rec[lead:b]) - onset(image)
            c = best_correlation(rec, start, image)
            level = rms(rec[a:b]) / max(1.0, rms(image[onset(image):onset(image) + (b - a)]))
            print(f"sound {n}: {seconds:.2f} s, correlation {c:.3f}, level ratio {level:.2f}")
            if c < 0.9:
                problems.append(f"sound {n}: correlation {c:.3f} with the played image")
            if not 0.5 <= level <= 2.0:
                problems.append(f"sound {n}: level ratio {level:.2f}")
        # The stopped sound is cut far short of its three seconds, and all is
        # quiet after it.
        if (segs[2][1] - segs[2][0]) / RATE > 1.5:
            problems.append("the stop did not silence the player")
        tail = rec[segs[2][1] + WINDOW:]
        if tail and rms(tail) > ACTIVE / 3:
            problems.append(f"sound after the stop (RMS {rms(tail):.0f})")
        # The envelope's shape: loudness rises over the attack and falls over
        # the release like the image's.
        a, b = segs[1]
        image = played[1]
        lead = max(0, a - WINDOW)
        start = max(0, lead + onset(rec[lead:b], 50) - onset(image, 50))
        got = [rms(rec[start + i:start + i + WINDOW]) for i in range(0, len(image) - WINDOW, WINDOW)]
        want = [rms(image[i:i + WINDOW]) for i in range(0, len(image) - WINDOW, WINDOW)]
        mg, mw = sum(got) / len(got), sum(want) / len(want)
        num = sum((g - mg) * (w - mw) for g, w in zip(got, want))
        den = math.sqrt(sum((g - mg) ** 2 for g in got) * sum((w - mw) ** 2 for w in want))
        shape = num / den if den else 0
        print(f"envelope loudness follows the image: {shape:.3f}")
        if shape < 0.9:
            problems.append(f"envelope loudness correlation {shape:.3f}")
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
