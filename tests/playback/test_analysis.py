#!/usr/bin/env python3
"""Checks the recording analysis on made-up recordings: one as the player
leaves it passes, and so does one with short dropouts inside its sounds and
an end cut by the most END_SHORTFALL allows; a silent one, swapped images, a
cut image and a sound missing more than END_SHORTFALL at its end fail."""
import array
import math
import os
import shutil
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from audio_match import END_SHORTFALL, RATE  # noqa: E402


def tone(n, hz, amp, shape=lambda t: 1.0):
    return array.array("h", (int(amp * shape(i / n) * math.sin(2 * math.pi * hz * i / RATE)) for i in range(n)))


def write_wav(path, xs):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(xs.tobytes())


def quiet(seconds):
    return array.array("h", bytes(2 * int(seconds * RATE)))


IMAGES = {
    "raw": tone(RATE, 441, 16000),
    "envelope": tone(19000, 661.5, 20000, lambda t: min(1.0, t / 0.2, (1 - t) / 0.4 + 0.2) if t < 0.9 else (1 - t) * 2),
    "stopped": tone(3 * RATE, 330.75, 12000),
}


def dropouts(xs, every=3000, length=60):
    """A copy of xs with `length` samples of silence every `every` samples."""
    ys = array.array("h", xs)
    for at in range(every // 2, len(ys) - length, every):
        ys[at:at + length] = array.array("h", bytes(2 * length))
    return ys


def check(images, rec, lose=1000, drop=False):
    """Exit status of check_recording.py on a recording of `rec` images (the
    first two losing `lose` samples at their end, the third stopped early;
    with short dropouts in every sound when `drop`)."""
    raw = quiet(0.5)
    for n, xs in enumerate(rec):
        heard = xs[:len(xs) - lose] if n < 2 else xs[:RATE // 2]
        raw += (dropouts(heard) if drop else heard) + quiet(1.5)
    folder = tempfile.mkdtemp()
    try:
        for name, xs in images.items():
            write_wav(f"{folder}/played-{name}.wav", xs)
        with open(f"{folder}/recorded.raw", "wb") as f:
            f.write(raw.tobytes())
        return subprocess.run([sys.executable, f"{HERE}/check_recording.py", f"{folder}/recorded.raw", folder],
                              stdout=subprocess.DEVNULL).returncode
    finally:
        shutil.rmtree(folder)


def main():
    played = [IMAGES["raw"], IMAGES["envelope"], IMAGES["stopped"]]
    silent = [array.array("h", bytes(2 * len(xs))) for xs in played]
    swapped = dict(IMAGES, raw=IMAGES["envelope"], envelope=IMAGES["raw"])
    cut = dict(IMAGES, raw=IMAGES["raw"][:len(IMAGES["raw"]) - 2 * END_SHORTFALL])
    cases = [("as played", IMAGES, played, {}, 0),
             ("dropouts and the longest cut end", IMAGES, played, {"drop": True, "lose": END_SHORTFALL - 200}, 0),
             ("silent", IMAGES, silent, {}, 1),
             ("swapped images", swapped, played, {}, 1),
             ("cut image", cut, played, {}, 1),
             ("end missing", IMAGES, played, {"lose": END_SHORTFALL + 1000}, 1)]
    bad = 0
    for name, images, rec, kw, want in cases:
        got = check(images, rec, **kw)
        ok = (got == 0) == (want == 0)
        bad += not ok
        print(f"{'ok' if ok else 'WRONG'}: {name} -> {'pass' if got == 0 else 'fail'}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
