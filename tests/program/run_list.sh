#!/usr/bin/env bash
# The instrument list and the information panel in the real program: a
# screenshot shows the list beside the panel, its first row read selected and
# in view; the wheel scrolls it to its top; a click on a row, Down, End and
# Home each select a row and play its first wave through the envelope
# (recorded from a PulseAudio null sink and compared with the images the test
# renders); End and Home scroll the list; nothing plays at start-up. Then the
# Attack edit and the Sustain slider change the envelope, a row plays with
# it, the raw Play button plays the wave as stored, and the raw and envelope
# Save buttons write, through the real save dialog, files byte-identical to
# the images (the envelope's under its proposed name in the folder of the
# raw save). The close button ends it with exit code 0.
# usage: run_list.sh WINE PROGRAM RENDER_ROWS SOUNDSET
set -euo pipefail
wine=$1 program=$2 render=$3 soundset=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../playback/pulse.sh"
source "$here/program.sh"
work=$(mktemp -d)
trap 'program_stop; pulse_cleanup; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }

# The images of the rows the test picks: 1 (clicked), 2 (Down), the last
# (End) and 0 (Home); then row 4 with Attack 0.1, Sustain 0.25 and Release
# 0.25, and row 4 as stored.
rows=(1 2 -1 0)
(cd "$work" && "$wine" "$render" "Z:$soundset" . "${rows[@]}" 0.1,0.25,0.25 4 raw:4) | tr -d '\r' \
    > "$work/rows.txt" || die "render_rows failed"
count=$(awk '$1 == "rows" { print $2 }' "$work/rows.txt")
first=$(awk '$1 == "first" { print $2 }' "$work/rows.txt")
cat "$work/rows.txt"

leaks=$(dirname "$program")/MemLeak.log
rm -f "$leaks"
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
labels=$(convert "$work/start.ppm" -crop "456x12+134+2" +repage -fx 'abs(r-0x1E/255)<0.01' -format '%[fx:round(mean*w*h)]' info:)
[ "$labels" -gt 4000 ] && pass "the information panel shows the name label ($labels pixels of its colour)" ||
    fail "the information panel's name label has $labels pixels of its colour"
[ "$(region_colours start 124 0 8 480)" = "1 282828" ] && pass "the splitter's bar at x 124-131" ||
    fail "the splitter's bar is not all 282828: $(region_colours start 124 0 8 480)"
text=$(convert "$work/start.ppm" -crop "100x470+2+2" +repage -fx 'r>0.5' -format '%[fx:round(mean*w*h)]' info:)
[ "$text" -gt 2000 ] && pass "the list shows text ($text light pixels)" || fail "the list shows no text ($text light pixels)"
# The first instrument read is selected at start and scrolled into view
# (at the bottom when it lies below the first page).
read -r top bottom < <(band start)
scroll=$((12 * first + 12 - (list_h - 4)))
[ "$scroll" -lt 0 ] && scroll=0
want=$((12 * first + 2 - scroll))
[ "${top:-}" = "$want" ] && pass "the first instrument read (row $first) is selected and in view at start" ||
    fail "the selection at start is at rows ${top:-none}-${bottom:-none}, not at $want (row $first)"

# The wheel scrolls the list back to its top without choosing a row.
xdotool mousemove $((cx + 40)) $((cy + 200)) click --repeat $(((scroll + 35) / 36 + 2)) 4
shoot top
read -r top bottom < <(band top)
[ "${top:-none}" = none ] || [ "$scroll" -eq 0 ] && pass "the wheel scrolled the list to its top" ||
    fail "after the wheel the selection is at rows ${top:-none}-${bottom:-none}"

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

# The information panel lies at client x 132 (the splitter's second pane).
click() { xdotool mousemove $((cx + 132 + $1)) $((cy + $2)) click 1; sleep 0.3; }
# Attack: the edit selected whole by a double click, 0.1 typed and committed.
xdotool mousemove $((cx + 132 + 90)) $((cy + 72)) click --repeat 2 1
xdotool type --delay 50 0.1
xdotool key Return
sleep 0.5
# Sustain: a click on the slider 69 pixels in puts the thumb's centre there:
# (69 - 9) / (258 - 18) = 0.25.
click $((134 + 69)) 86
xdotool mousemove $((cx + 40)) $((cy + 2 + 12 * 4 + 6)) click 1   # row 4 plays with the new envelope
sleep 1.5
click 387 36                    # its raw Play button
sleep 2
# Save dialogs: wait for one, type into it (or not), confirm.
save_through_dialog() {
    local dialog
    dialog=$(await_window 'Save\.\.\.')
    [ -n "$dialog" ] || { fail "no save dialog"; return; }
    sleep 0.5
    [ -n "$1" ] && xdotool type --delay 20 "$1"
    xdotool key Return
    sleep 1.5
}
winwork=$(printf 'Z:%s' "$work" | tr / '\\')
mkdir -p "$work/saved"
click 435 36                    # raw Save
save_through_dialog "$winwork\\saved\\raw.wav"
click 427 98                    # envelope Save, under the proposed name
save_through_dialog ""
# The curve's wheel, with and without Ctrl, and the four colour schemes.
xdotool mousemove $((cx + 132 + 200)) $((cy + 300)) click 4 click 4 click 5
xdotool keydown ctrl click 4 click 5 keyup ctrl
for _ in 1 2 3 4; do xdotool mousemove $((X + WIDTH - 35)) $((Y + 20)) click 1; sleep 0.3; done

program_close
[ "$status" -eq 0 ] && pass "closed by its close button, exit code 0" || fail "exit code $status"
[ ! -e "$leaks" ] && pass "no MemLeak.log" || { fail "MemLeak.log written:"; cat "$leaks"; }
pulse_stop

cmp -s "$work/saved/raw.wav" "$work/raw4.wav" && pass "the raw Save wrote the wave as stored" ||
    fail "saved raw.wav differs from the raw image (or is missing)"
read -r cue loop_start loop_length name < <(awk '$1 == "row" && $2 == 4 {
    n = $0; sub(/.* name /, "", n); print $6, $8, $9, n; exit }' "$work/rows.txt")
proposed="$name ($cue-$loop_start-${loop_length}_2205-5512-5512).wav"
cmp -s "$work/saved/$proposed" "$work/row4.wav" && pass "the envelope Save wrote \"$proposed\" beside it" ||
    { fail "no \"$proposed\" equal to the envelope image; saved:"; ls "$work/saved"; }

images=()
for r in "${rows[@]}" 4; do images+=("$work/row$r.wav"); done
python3 "$here/check_sounds.py" "$work/recorded.raw" "${images[@]}" "$work/raw4.wav" || failures=$((failures + 1))
[ "$failures" -eq 0 ] || die "$failures checks failed"
echo "program_list: all checks passed"
