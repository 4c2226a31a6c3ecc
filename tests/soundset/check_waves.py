#!/usr/bin/env python3
"""Checks the default sound set made at set-up: every wave is 22,050 Hz 16-bit
mono PCM with the length the rate change gives, the RIFF tree is sound, and
the chunks come in the canonical DLS order.

usage: check_waves.py FILE.dls FILE.dls.json
"""
import json
import struct
import sys

RATE = 22050


def chunks(data, start, end, problems, where):
    """(id, list type or None, data start, data end) of the chunks in [start, end)."""
    out = []
    at = start
    while at + 8 <= end:
        cid = data[at:at + 4].decode("latin-1")
        size = struct.unpack_from("<I", data, at + 4)[0]
        body = at + 8
        if body + size > end:
            problems.append(f"{where}: chunk {cid!r} at {at} runs past its parent")
            break
        if cid in ("RIFF", "LIST"):
            out.append((cid, data[body:body + 4].decode("latin-1"), body + 4, body + size))
        else:
            out.append((cid, None, body, body + size))
        at = body + size + (size & 1)
    return out


def order(kids, names, problems, where):
    seen = [k[1] if k[0] == "LIST" else k[0] for k in kids]
    pos = [seen.index(n) if n in seen else -1 for n in names]
    if -1 in pos or pos != sorted(pos):
        problems.append(f"{where}: chunks {seen} not in the order {names}")


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1])
        return 2
    data = open(sys.argv[1], "rb").read()
    manifest = json.load(open(sys.argv[2]))
    problems = []
    top = chunks(data, 0, len(data), problems, "file")
    if not top or top[0][:2] != ("RIFF", "DLS "):
        print("not a RIFF DLS file")
        return 1
    body = chunks(data, top[0][2], top[0][3], problems, "DLS")
    order(body, ["lins", "ptbl", "wvpl"], problems, "collection")
    lists = {k[1]: k for k in body if k[0] == "LIST"}
    for ins in chunks(data, lists["lins"][2], lists["lins"][3], problems, "lins"):
        order(chunks(data, ins[2], ins[3], problems, "ins"), ["insh", "lrgn", "INFO"], problems, f"instrument at {ins[2]}")
    waves = [w for w in chunks(data, lists["wvpl"][2], lists["wvpl"][3], problems, "wvpl") if w[1] == "wave"]
    expected = manifest["waves"]
    if len(waves) != len(expected):
        problems.append(f"{len(waves)} waves in the pool, {len(expected)} in the manifest")
    for i, (wave, exp) in enumerate(zip(waves, expected)):
        kids = chunks(data, wave[2], wave[3], problems, f"wave {i}")
        order(kids, ["fmt ", "data"], problems, f"wave {i}")
        found = {k[0]: k for k in kids}
        if "fmt " not in found or "data" not in found:
            problems.append(f"wave {i}: no fmt or data chunk")
            continue
        fmt = found["fmt "]
        tag, channels, rate, byte_rate, align, bits = struct.unpack_from("<HHIIHH", data, fmt[2])
        if (tag, channels, rate, bits, align, byte_rate) != (1, 1, RATE, 16, 2, 2 * RATE):
            problems.append(f"wave {i} ({exp['name']}): format {tag}, {channels} ch, {rate} Hz, {bits} bits")
        # the old length scaled to the new rate, rounded half up
        want = (2 * exp["originalLength"] * RATE + exp["originalRate"]) // (2 * exp["originalRate"])
        if exp["length"] != want:
            problems.append(f"wave {i}: manifest length {exp['length']}, rate change gives {want}")
        size = found["data"][3] - found["data"][2]
        if size != 2 * want:
            problems.append(f"wave {i} ({exp['name']}): data {size} bytes, expected {2 * want}")
    for p in problems[:40]:
        print(p)
    if problems:
        print(f"check_waves: {len(problems)} problems")
        return 1
    resampled = sum(1 for e in expected if e["originalRate"] != RATE)
    print(f"check_waves: {len(waves)} waves OK ({resampled} resampled to {RATE} Hz)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
