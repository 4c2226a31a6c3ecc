#!/usr/bin/env bash
# Benchmark of reading the default sound set: the program's reader in-process,
# the bare file read, and libgig loading the same file natively; then the
# control framework's layout, routing, painting and lookups on a real window;
# last the instrument list and the main window.
source "$(dirname "$0")/../setup.sh"
orven_setup
runs=${1:-50}
cd "$BUILD"
ours=$("$WINE" "$BUILD/$ORVEN_ARCH/soundset_bench.exe" 'C:\windows\system32\drivers\gm.dls' "$runs" | tr -d '\r')
gig=$("$BUILD/host/gigbench" "$BUILD/soundset/gm.dls" "$runs")
echo "$ours"
echo "$gig"
read_ms=$(awk '/^file_read_median_ms/ {print $2}' <<<"$ours")
index_ms=$(awk '/^read_sound_set_median_ms/ {print $2}' <<<"$ours")
gig_ms=$(awk '/^libgig_median_ms/ {print $2}' <<<"$gig")
awk -v r="$read_ms" -v i="$index_ms" -v g="$gig_ms" 'BEGIN {
    printf "ratio libgig/ReadSoundSet %.1fx (goal at least 10x)\n", g / i
    printf "ratio ReadSoundSet/file read %.2fx (goal at most 2x)\n", i / r
}'
"$WINE" "$BUILD/$ORVEN_ARCH/panel_bench.exe" "$runs" | tr -d '\r'
"$WINE" "$BUILD/$ORVEN_ARCH/list_bench.exe" 'C:\windows\system32\drivers\gm.dls' "$runs" | tr -d '\r'
# Start-up to the first paint, against the least program that opens a window,
# three runs each; peak memory after a run of use.
for _ in 1 2 3; do
    "$WINE" "$BUILD/$ORVEN_ARCH/least_window.exe" | tr -d '\r'
    "$WINE" "$BUILD/$ORVEN_ARCH/startup_bench.exe" 'C:\windows\system32\drivers\gm.dls' | tr -d '\r'
done
