#!/usr/bin/env python3
"""Checks of run_scale.sh on scale_probe's facts and on photographs.

  check_scale.py F96 FD DPI        window and controls at DPI are the 96-DPI
                                   ones with scaled edges; at 120 DPI every
                                   pair of edges also keeps its order (tiling)
  check_scale.py --photos P96 PD   PD scaled down matches P96; PD is not P96
                                   stretched
  check_scale.py --same FA FB      the same window and control rectangles
  check_scale.py --labels F PA PB  the caption bar and the fixed labels of F
                                   are drawn alike in PA and PB
"""
import itertools
import subprocess
import sys

FIXED_LABELS = {"Wave Index", "Byte Offset", "Loop Start", "Loop Length", "Attack", "Sustain", "Release"}


def edge(units, dpi):
    return (units * dpi + 48) // 96


def read(path):
    window, controls = None, []
    for line in open(path, encoding="utf-8"):
        words = line.split()
        if words[:1] == ["window"]:
            window = (int(words[1]), int(words[2]))
        elif words[:1] == ["control"]:
            l, t, w, h = map(int, words[-4:])
            controls.append((" ".join(words[1:-4]), (l, t, l + w, t + h)))
    return window, controls


def fail(text):
    print("FAIL:", text)
    return False


def to_scale(f96, fd, dpi):
    (w96, c96), (wd, cd) = read(f96), read(fd)
    ok = True
    want = (edge(w96[0], dpi), edge(w96[1], dpi))
    if wd != want:
        ok = fail(f"window {wd}, want {want}")
    if [n for n, _ in c96] != [n for n, _ in cd]:
        return fail(f"other controls: {[n for n, _ in cd]}")
    for (name, r96), (_, rd) in zip(c96, cd):
        want = tuple(edge(v, dpi) for v in r96)
        if rd != want:
            ok = fail(f"{name}: {rd}, want {want} (from {r96})")
    if dpi == 120:
        # Neighbours tile as at 96 DPI: each pair of edges keeps its order.
        sign = lambda a, b: (a > b) - (a < b)
        pairs = list(zip(c96, cd))
        for ((na, a96), (_, ad)), ((nb, b96), (_, bd)) in itertools.combinations(pairs, 2):
            for axis, edges in (("x", (0, 2)), ("y", (1, 3))):
                for i, j in itertools.product(edges, edges):
                    if sign(a96[i], b96[j]) != sign(ad[i], bd[j]):
                        ok = fail(f"{na} and {nb}: {axis} edges {a96[i]}/{b96[j]} became {ad[i]}/{bd[j]}")
    print(f"{len(cd)} controls at {dpi} DPI, window {wd}")
    return ok


def rmse(a, b, *options):
    out = subprocess.run(["compare", "-metric", "RMSE", *options, a, b, "null:"], capture_output=True, text=True)
    return float(out.stderr.split("(")[1].split(")")[0])


def size(path):
    out = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, text=True, check=True)
    return tuple(map(int, out.stdout.split()))


def photos(p96, pd):
    w, h = size(p96)
    W, H = size(pd)
    down, stretched = pd + ".down.png", pd + ".stretched.png"
    # Scaled down and softened a little (glyphs drawn at the device size
    # differ from the 96-DPI ones pixel by pixel), it is the same picture;
    # a picture made by stretching would be nearly that picture exactly.
    blurred = p96 + ".blurred.png"
    subprocess.run(["convert", pd, "-filter", "box", "-resize", f"{w}x{h}!", "-blur", "0x1", down], check=True)
    subprocess.run(["convert", p96, "-blur", "0x1", blurred], check=True)
    subprocess.run(["convert", p96, "-filter", "point", "-resize", f"{W}x{H}!", stretched], check=True)
    near, far = rmse(down, blurred), rmse(stretched, pd)
    print(f"scaled down vs 96 DPI: RMSE {near:.4f}; 96 DPI stretched vs this: RMSE {far:.4f}")
    ok = True
    if near > 0.05:
        ok = fail(f"scaled down, the photograph is not the 96-DPI one (RMSE {near:.4f} > 0.05)")
    if far < 0.05:
        ok = fail(f"the photograph is the 96-DPI one stretched (RMSE {far:.4f} < 0.05)")
    return ok


def same(fa, fb):
    """The same window and control rectangles, each control of the same role
    (the instrument shown may differ)."""
    strip = lambda f: (f[0], [(n.split("|")[0], r) for n, r in f[1]])
    a, b = strip(read(fa)), strip(read(fb))
    if a == b:
        print(f"window {a[0]} and {len(a[1])} controls alike")
        return True
    for x, y in zip(a[1], b[1]):
        if x != y:
            print("  ", x, "vs", y)
    return fail(f"window {a[0]} vs {b[0]}, or the controls differ")


def labels(f, pa, pb):
    window, controls = read(f)
    dpi = 144 if window[0] == edge(608, 144) else 96
    dx, dy = edge(8, dpi), edge(40, dpi)
    areas = [("caption", (edge(8, dpi), edge(8, dpi), window[0] - edge(8 + 69, dpi), edge(32, dpi)))]
    seen = set()
    for n, r in controls:   # the headings come before the facts named after them
        if n.split("|")[0] == "static_text" and n.split("|", 1)[1] in FIXED_LABELS and n not in seen:
            seen.add(n)
            areas.append((n, (r[0] + dx, r[1] + dy, r[2] + dx, r[3] + dy)))
    ok = True
    for name, (l, t, r, b) in areas:
        crop = f"{r - l}x{b - t}+{l}+{t}"
        a, c = pa + ".a.png", pb + ".b.png"
        subprocess.run(["convert", pa, "-crop", crop, "+repage", a], check=True)
        subprocess.run(["convert", pb, "-crop", crop, "+repage", c], check=True)
        d = rmse(a, c)
        if d > 0.0:
            ok = fail(f"{name} ({crop}) drawn otherwise (RMSE {d:.4f})")
    print(f"{len(areas)} areas compared")
    return ok


def main(args):
    if args[0] == "--photos":
        return photos(args[1], args[2])
    if args[0] == "--same":
        return same(args[1], args[2])
    if args[0] == "--labels":
        return labels(args[1], args[2], args[3])
    return to_scale(args[0], args[1], int(args[2]))


if __name__ == "__main__":
    sys.exit(0 if main(sys.argv[1:]) else 1)
