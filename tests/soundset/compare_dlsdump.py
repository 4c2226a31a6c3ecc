#!/usr/bin/env python3
"""Compares dlsindex's output with what libgig's dlsdump reads from the same
file: instrument count, every name, every region count, and each region's wave
(by the name of the sample that its cue leads to).

usage: compare_dlsdump.py FILE.dls INDEX.txt
"""
import re
import subprocess
import sys

SAMPLE = re.compile(r'^\s+Sample (\d+)\) "(.*)", \d+Hz')
INSTRUMENT = re.compile(r'^\s+Instrument (\d+)\) "(.*)",\s+MIDIBank=')
REGION = re.compile(r'^\s+Region (\d+)\) Sample: "(.*)", \d+Hz')


def unescape(text):
    out = bytearray()
    raw = text.encode("utf-8", "surrogateescape")
    i = 0
    while i < len(raw):
        if raw[i:i + 2] == b"\\\\":
            out += b"\\"
            i += 2
        elif raw[i:i + 2] == b"\\x":
            out.append(int(raw[i + 2:i + 4], 16))
            i += 4
        else:
            out.append(raw[i])
            i += 1
    return out.decode("utf-8", "replace")


def read_dump(path):
    text = subprocess.run(["dlsdump", path], check=True, capture_output=True).stdout
    samples, instruments = [], []
    for line in text.decode("utf-8", "replace").splitlines():
        if m := SAMPLE.match(line):
            samples.append(m.group(2))
        elif m := INSTRUMENT.match(line):
            instruments.append({"name": m.group(2), "regions": []})
        elif (m := REGION.match(line)) and instruments:
            instruments[-1]["regions"].append(m.group(2))
    return samples, instruments


def read_index(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = [line.rstrip("\r\n") for line in f]
    count = int(lines[0].split()[1])
    instruments = []
    for line in lines[1:]:
        if line.startswith("instrument "):
            head, name = line.split(" name ", 1) if " name " in line else (line, "")
            parts = head.split()
            instruments.append({"index": int(parts[1]), "regions": int(parts[3]),
                                "name": unescape(name), "cues": []})
        elif line.startswith("region "):
            instruments[-1]["cues"].append(int(line.split()[3]))
    return count, instruments


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1])
        return 2
    samples, dumped = read_dump(sys.argv[1])
    count, indexed = read_index(sys.argv[2])
    problems = []
    if count != len(indexed):
        problems.append(f"index header says {count} instruments but lists {len(indexed)}")
    if len(dumped) != len(indexed):
        problems.append(f"instrument count: dlsdump {len(dumped)}, index {len(indexed)}")
    for i, (d, x) in enumerate(zip(dumped, indexed)):
        if x["index"] != i:
            problems.append(f"instrument {i}: listed as {x['index']}")
        if d["name"].rstrip() != x["name"].rstrip():
            problems.append(f"instrument {i}: name {d['name']!r} (dlsdump) vs {x['name']!r} (index)")
        if len(d["regions"]) != x["regions"] or len(x["cues"]) != x["regions"]:
            problems.append(f"instrument {i}: {len(d['regions'])} regions (dlsdump) vs {x['regions']} (index)")
            continue
        for r, (sample, cue) in enumerate(zip(d["regions"], x["cues"])):
            if cue >= len(samples) or samples[cue] != sample:
                got = samples[cue] if cue < len(samples) else "none"
                problems.append(f"region {i}.{r}: wave {sample!r} (dlsdump) vs cue {cue} = {got!r} (index)")
    for p in problems[:40]:
        print(p)
    if problems:
        print(f"compare_dlsdump: {len(problems)} differences")
        return 1
    regions = sum(x["regions"] for x in indexed)
    print(f"compare_dlsdump: {len(indexed)} instruments and {regions} regions agree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
