#!/usr/bin/env bash
# tools/fuzz/run.sh N SEED: N damaged sound sets made from SEED, each read,
# played into images and named as a save would name it, under Wine (the
# fuzz program, tools/fuzz/fuzz.cpp). Ends with the line
# "fuzz: N inputs, F faults, seed S"; exit code 1 on any fault, whose input
# is left in build/fuzz/ to reproduce it.
[ $# -eq 2 ] || { echo "usage: tools/fuzz/run.sh N SEED" >&2; exit 2; }
source "$(dirname "$0")/../setup.sh"
orven_setup
orven_crash_dialog 0
out=$BUILD/fuzz
mkdir -p "$out"
status=0
"$WINE" "$BUILD/$ORVEN_ARCH/fuzz.exe" "$1" "$2" "Z:$BUILD/soundset/gm.dls" "Z:$out" | tr -d '\r' |
    tee "$out/last.txt" || true
status=${PIPESTATUS[0]}
# A fault that ended the program before it could say so.
if [ "$status" -ne 0 ] && ! grep -q '^fuzz: ' "$out/last.txt"; then
    echo "fuzz: $1 inputs, 1 faults, seed $2 (the program ended with status $status)"
fi
exit $((status != 0))
