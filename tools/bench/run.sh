#!/usr/bin/env bash
# Benchmark of reading the default sound set: the program's reader in-process,
# the bare file read, and libgig loading the same file natively; then the
# control framework's layout, routing, painting and lookups on a real window;
# the instrument list and the main window; start-up and memory against the
# least programs doing the same unavoidable work. Ends with one line per goal:
# "goal NAME MEASURED LIMIT met|missed", each measured against its floor from
# this same run: the reader against reading the file and one pass over it;
# each flood against that and an index of its entry count allocated and
# touched; the click as the median of alternated click/floor pairs; the full
# repaint at 200 % against the same repaint at 100 % (4x the pixels); the
# export of every wave with index.csv as the median of alternated pairs with
# writing the same bytes in as many files.
source "$(dirname "$0")/../setup.sh"
orven_setup
runs=${1:-50}
cd "$BUILD"
soundset='C:\windows\system32\drivers\gm.dls'
run() { "$WINE" "$BUILD/$ORVEN_ARCH/$1" "${@:2}" 2>/dev/null | tr -d '\r'; }
ours=$(run soundset_bench.exe "$soundset" "$runs")
gig=$("$BUILD/host/gigbench" "$BUILD/soundset/gm.dls" "$runs")
echo "$ours"
echo "$gig"
panel=$(run panel_bench.exe "$runs")
echo "$panel"
list=$(run list_bench.exe "$soundset" "$runs")
echo "$list"
exported=$(run export_bench.exe "$soundset" "$runs")
echo "$exported"
# The same full repaint with the display at 200 % (LogPixels 192 for one run).
desktop='HKCU\Control Panel\Desktop'
"$WINE" reg add "$desktop" /v LogPixels /t REG_DWORD /d 192 /f </dev/null >/dev/null 2>&1
repaint200=$(run list_bench.exe "$soundset" "$runs" | awk '$1 == "main_window_full_repaint_median_ms" { print $2 }')
"$WINE" reg delete "$desktop" /v LogPixels /f </dev/null >/dev/null 2>&1 || true
echo "main_window_full_repaint_200_percent_median_ms $repaint200"
# Start-up to the first paint and memory after use, eleven alternated runs of
# the program, its same-work floor (playing as often as the run of use) and
# the least window. The program and its floor both carry the program's
# manifest.
plays=$(run startup_bench.exe "$soundset" | awk '$1 == "run_of_use_plays" { print $2 }')
starts=
for _ in $(seq 11); do
    starts+=$(run startup_floor.exe "$soundset" "$plays")$'\n'
    starts+=$(run startup_bench.exe "$soundset")$'\n'
    starts+=$(run least_window.exe)$'\n'
done
echo "$starts"

value() { awk -v key="$1" '$1 == key { print $2; exit }' <<<"$2"; }
median() { awk -v key="$1" '$1 == key { print $2 }' <<<"$2" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Where the program's start-up goes (medians, from process creation).
for stage in startup_to_main_ms startup_to_sound_set_read_ms startup_to_window_composed_ms; do
    echo "$stage median $(median "$stage" "$starts")"
done
# goal NAME MEASURED FLOOR LIMIT: the ratio of MEASURED to FLOOR against LIMIT
# (times); with FLOOR "-" the measured milliseconds against LIMIT.
goal() {
    awk -v name="$1" -v m="$2" -v f="$3" -v limit="$4" 'BEGIN {
        if (f == "-") { r = m; unit = "ms" } else { r = m / f; unit = "x" }
        printf "goal %s %.3g%s %g%s %s\n", name, r, unit, limit, unit, r <= limit ? "met" : "missed"
    }'
}
index_ms=$(value read_sound_set_median_ms "$ours")
gig_ms=$(value libgig_median_ms "$gig")
awk -v g="$gig_ms" -v i="$index_ms" 'BEGIN { printf "ratio libgig/ReadSoundSet %.1fx\n", g / i }'
echo
goal click_to_player "$(value click_pair_ratio_median "$list")" 1 1.3
goal export_default_set "$(value export_pair_ratio_median "$exported")" 1 1.3
goal repaint_200_percent "$repaint200" "$(value main_window_full_repaint_median_ms "$list")" 4
goal info_panel_rebuild "$(value info_panel_rebuild_median_ms "$list")" - 0.15
worst=$(awk '/^list_build_100000_/ { if ($2 > w) w = $2 } END { print w }' <<<"$list")
goal list_100000_names "$worst" - 25
goal reader_default_set "$index_ms" "$(value read_and_pass_median_ms "$ours")" 1.3
goal reader_header_flood "$(value header_flood_median_ms "$ours")" "$(value header_flood_floor_median_ms "$ours")" 2
goal reader_region_flood "$(value region_flood_median_ms "$ours")" "$(value region_flood_floor_median_ms "$ours")" 2
goal startup "$(median process_start_to_first_paint_ms "$starts")" \
    "$(median startup_floor_process_start_to_first_paint_ms "$starts")" 1.05
goal memory_after_use "$(median peak_memory_mb "$starts")" "$(median startup_floor_peak_memory_mb "$starts")" 1.1
