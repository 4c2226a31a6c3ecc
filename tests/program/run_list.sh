#!/usr/bin/env bash
# The instrument list in the real program: a screenshot shows the list beside
# the empty information pane; a click on a row, Down, End and Home each select
# a row and play its first wave through the envelope (recorded from a
# PulseAudio null sink and compared with the images the test renders); End and
# Home scroll the list; nothing plays at start-up; the close button ends it
# with exit code 0.
# usage: run_list.sh WINE PROGRAM RENDER_ROWS SOUNDSET
set -euo pipefail
wine=$1 program=$2 render=$3 soundset=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../playback/pulse.sh"
source "$here/program.sh"
work=$(mktemp -d)
failures=0
trap 'program_stop; pulse_cleanup; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# The images of the rows the test picks: 1 (clicked), 2 (Down), the last
# (End) and 0 (Home).
rows=(1 2 -1 0)
(cd "$work" && "$wine" "$render" "Z:$soundset" . "${rows[@]}") | tr -d '\r' > "$work/rows.txt" ||
    die "render_rows failed"
count=$(awk '$1 == "rows" { print $2 }' "$work/rows.txt")
first=$(awk '$1 == "first" { print $2 }' "$work/rows.txt")
cat "$work/rows.txt"

pulse_start "$work"
program_start "$wine" "$program"
# Client coordinates to screen coordinates (borders of 8, caption of 40).
cx=$((X + 8)) cy=$((Y + 40))
list_w=124 list_h=480

# Screenshot of the client area once two shots agree.
shoot() {
    local out=$work/$1.ppm
    for _ in $(seq 20); do
        sleep 0.3
        import -window root -crop "592x480+$cx+$cy" +repage "$out"
        [ -f "$out.prev" ] && cmp -s "$out" "$out.prev" && break
        cp "$out" "$out.prev"
    done
}
# The highlighted row's band: the rows of client pixels in the list's column
# x = list_w - 18 that are bright (the selection inverts the dark face).
band() {
    convert "$work/$1.ppm" -crop "1x$list_h+$((list_w - 18))+0" +repage -colorspace gray -depth 8 gray:- |
        od -An -tu1 -v | tr -s ' ' '\n' | awk 'NF { if ($1 > 150) { if (first == "") first = n; last = n } n++ }
            END { print first, last }'
}
region_colours() {
    convert "$work/$1.ppm" -crop "$4x$5+$2+$3" +repage -depth 8 -format '%k %[hex:p{0,0}]' info:
}

shoot start
[ "$(region_colours start 132 0 460 480)" = "1 000000" ] && pass "the information pane is empty (black)" ||
    fail "the information pane is not all black: $(region_colours start 132 0 460 480)"
[ "$(region_colours start 124 0 8 480)" = "1 282828" ] && pass "the splitter's bar at x 124-131" ||
    fail "the splitter's bar is not all 282828: $(region_colours start 124 0 8 480)"
text=$(convert "$work/start.ppm" -crop "100x470+2+2" +repage -fx 'r>0.5' -format '%[fx:round(mean*w*h)]' info:)
[ "$text" -gt 2000 ] && pass "the list shows text ($text light pixels)" || fail "the list shows no text ($text light pixels)"
# The first instrument read is selected at start, wherever the sorted list
# shows it (out of view when it lies below the visible rows).
read -r top bottom < <(band start)
want=$((12 * first + 2))
[ $((want + 12)) -gt $((list_h - 2)) ] && want=
[ "${top:-}" = "$want" ] && pass "the first instrument read (row $first) is selected at start" ||
    fail "the selection at start is at rows ${top:-none}-${bottom:-none}, not at row $first"

sleep 1
xdotool mousemove $((cx + 40)) $((cy + 2 + 12 * 1 + 6)) click 1
sleep 1.5
xdotool key Down
sleep 1.5
xdotool key End
sleep 1.5
shoot end
read -r top bottom < <(band end)
want=$(( 12 * (count - 1) + 2 - (12 * count - (list_h - 4)) ))
[ "${top:-x}" = "$want" ] && [ "${bottom:-x}" = $((want + 11)) ] && pass "End scrolled the last row into view at y $want" ||
    fail "after End the selection is at rows ${top:-none}-${bottom:-none}, not $want-$((want + 11))"
xdotool key Home
sleep 1.5
shoot home
read -r top bottom < <(band home)
[ "${top:-x}" = 2 ] && pass "Home scrolled back to the first row" || fail "after Home the selection is at ${top:-none}"

program_close
[ "$status" -eq 0 ] && pass "closed by its close button, exit code 0" || fail "exit code $status"
pulse_stop

python3 "$here/check_list_sounds.py" "$work/recorded.raw" "$work" "${rows[@]}" || failures=$((failures + 1))
[ "$failures" -eq 0 ] || die "$failures checks failed"
echo "program_list: all checks passed"
