#!/usr/bin/env python3
"""dlsindex --export on the default and a crafted sound set, into a folder
named outside the ANSI code page: every file is the raw Save's image of its
cue (export_sets writes them through the sound layer), index.csv lists every
region of the index dump, a second export leaves the same bytes; unreadable
sets exit 1 writing nothing, unwritable paths exit 2 leaving no partial file.
A read-only folder does not stop root under Wine: the failures are a file in
the folder's place and a write cut short by the file size limit.

usage: check_export.py WINE DLSINDEX EXPORT_SETS SOUNDSET WORK
"""
import csv
import os
import resource
import shutil
import signal
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "soundset"))
from compare_dlsdump import unescape  # noqa: E402

WINE, DLSINDEX, SETS, SOUNDSET, WORK = sys.argv[1:6]
problems = []


def check(ok, what):
    if not ok:
        problems.append(what)


def win(path):
    return "Z:" + path.replace("/", "\\")


def run(*args, limit=None):
    def limited():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    done = subprocess.run([WINE, *args], capture_output=True, timeout=180, env=dict(os.environ, LC_ALL="C.UTF-8"),
                          preexec_fn=limited if limit else None)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


def export(folder, dls, **kw):
    return run(DLSINDEX, "--export", win(folder), win(dls), **kw)


def contents(folder):
    return {n: open(os.path.join(folder, n), "rb").read() for n in os.listdir(folder)}


def chunks(data, start, end):
    while start + 8 <= end:
        size = struct.unpack_from("<I", data, start + 4)[0]
        yield data[start:start + 4], data[start + 8:start + 12], start + 12, start + 8 + size
        start += 8 + size + (size & 1)


def ranges(dls):
    """Each instrument's region ranges ("low-high"), from a walk of the RIFF tree."""
    data, out = open(dls, "rb").read(), []
    lins = next((a, b) for _, kind, a, b in chunks(data, 12, len(data)) if kind == b"lins")
    for _, _, ins, ins_end in chunks(data, *lins):
        out.append([])
        for _, kind, lrgn, lrgn_end in chunks(data, ins, ins_end):
            for _, _, rgn, rgn_end in chunks(data, lrgn, lrgn_end) if kind == b"lrgn" else ():
                for code, _, at, _ in chunks(data, rgn, rgn_end):
                    if code == b"rgnh":
                        r = struct.unpack_from("<4H", data, at - 4)
                        out[-1].append((f"{r[0]}-{r[1]}", f"{r[2]}-{r[3]}"))
    return out


def dump(dls):
    """The index dump's regions: instrument, name, region, cue, loop start, loop length."""
    regions, name = [], ""
    for line in run(DLSINDEX, win(dls))[1].splitlines():
        f = line.split()
        if f[0] == "instrument":
            name = unescape(line.split(" name ", 1)[1])
        elif f[0] == "region":
            i, r = f[1].split(".")
            regions.append([i, name, r, f[3], *(f[7:9] if f[7] != "none" else ["", ""])])
    return regions


def check_set(label, dls, folder):
    ref = os.path.join(WORK, f"ref-{label}")
    os.makedirs(ref)
    subprocess.run([WINE, SETS, "images", win(dls), win(ref)], check=True, timeout=180)
    saved = {int(n[:-4]): b for n, b in contents(ref).items()}
    status, out, err = export(folder, dls)
    files = contents(folder)
    waves = {int(n[:3]): n for n in files if n != "index.csv"}
    check(status == 0 and len(waves) == len(files) - 1 == len(saved), f"{label}: exit {status}, {sorted(files)}")
    for cue, name in waves.items():
        check(files[name] == saved.get(cue), f"{label}: {name} is not the raw Save image of cue {cue}")
    total = sum(len(files[n]) for n in waves.values())
    check(out == f"{len(waves)} waves ({total:,} bytes) and index.csv written to {win(folder)}\n",
          f"{label}: summary {out!r}")
    with open(os.path.join(folder, "index.csv"), encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f, strict=True))
    spans = ranges(dls)
    expected = [[i, name, r, *spans[int(i)][int(r)], cue, waves.get(int(cue), ""), start, length]
                for i, name, r, cue, start, length in dump(dls)]
    check(rows[0] == "instrument name region keys velocities cue file".split() + ["loop start", "loop length"],
          f"{label}: header {rows[0]}")
    check(rows[1:] == expected, f"{label}: index.csv differs from the dump: "
          f"{next(((a, b) for a, b in zip(rows[1:], expected) if a != b), (len(rows), len(expected)))}")
    check(files["index.csv"].count(b"\r\n") == len(rows), f"{label}: index.csv lines do not end in CRLF")
    return files, waves, err


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    crafted = os.path.join(WORK, "crafted.dls")
    subprocess.run([WINE, SETS, "craft", win(crafted)], check=True, timeout=180)
    home = os.path.join(WORK, "Экспорт Ω 日本")
    check_set("default", SOUNDSET, os.path.join(home, "default"))
    first = os.path.join(home, "crafted")
    files, waves, err = check_set("crafted", crafted, first)
    check(sorted(waves.values()) == ["000 Piano 1.wav", "001 Piano 1.wav", "002.wav", "003 Strings, _Warm_.wav",
                                     "004 Slash_Back_Colon_Star_Q_Lt_Gt_Pipe_Tab_LF_End.wav",
                                     "005 Flöte Ωμέγα 日本.wav"], f"crafted: files {sorted(waves.values())}")
    check("cue 6 holds no sound data" in err, f"crafted: no word of the wave without data: {err!r}")

    # Again over the first: a file of the same name is replaced, others stay.
    open(os.path.join(first, waves[0]), "wb").write(b"junk")
    open(os.path.join(first, "keep.txt"), "wb").write(b"mine")
    check(export(first, crafted)[0] == 0 and contents(first) == dict(files, **{"keep.txt": b"mine"}),
          "a second export did not leave the same bytes")

    damaged = os.path.join(WORK, "damaged.dls")
    open(damaged, "wb").write(open(crafted, "rb").read().replace(b"ptbl", b"ptb_"))
    for dls in (os.path.join(WORK, "missing.dls"), damaged):
        status, out, err = export(os.path.join(WORK, "unread"), dls)
        check(status == 1 and f'cannot read the sound set "{win(dls)}"' in err and not out,
              f"unreadable {dls}: exit {status}, {err!r}")
        check(not os.path.exists(os.path.join(WORK, "unread")), f"unreadable {dls}: the folder was made")

    in_place = os.path.join(WORK, "in place")
    open(in_place, "wb").write(b"a file")
    for folder in (in_place, os.path.join(in_place, "sub")):
        status, _, err = export(folder, crafted)
        check(status == 2 and f'"{win(in_place)}"' in err, f"a file in {folder}'s place: exit {status}, {err!r}")
    check(open(in_place, "rb").read() == b"a file", "the file in the folder's place changed")

    # Cue 4's 80,044 bytes pass a 64 KiB limit: its write stops part-way, the
    # file is removed, the ones before stay and none after (no index.csv).
    limited = os.path.join(WORK, "limited")
    status, _, err = export(limited, crafted, limit=65536)
    check(status == 2 and f'"{win(os.path.join(limited, waves[4]))}"' in err, f"cut short: exit {status}, {err!r}")
    check(contents(limited) == {waves[k]: files[waves[k]] for k in range(4)}, f"cut short: {sorted(contents(limited))}")

    for p in problems:
        print("FAIL:", p)
    print(f"export: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
