#!/usr/bin/env bash
# Starts the program, checks its main window on the display (size, place and
# the frame's colours in scheme 0 from a screenshot), closes it by its close
# button and checks that it exits with code 0.
# usage: run_window.sh WINE PROGRAM
set -euo pipefail
wine=$1 program=$2
want_w=608 want_h=528
shot=$PWD/program_window.png
source "$(dirname "$0")/program.sh"
work=$(mktemp -d)
trap 'program_stop; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }

# Pixel checks on $win, the window's own image (window coordinates).
# pixels_are RRGGBB WHAT X,Y...: each of the points has the colour.
pixels_are() {
    local colour=$1 what=$2 format='' point got i=0
    shift 2
    for point in "$@"; do format+="%[hex:p{$point}] "; done
    read -r -a got < <(convert "$win" -format "$format\n" info:)
    for point in "$@"; do
        [ "${got[i]}" = "$colour" ] || fail "$what: pixel ($point) is ${got[i]}, not $colour"
        i=$((i + 1))
    done
}
# region_is X Y W H RRGGBB WHAT: every pixel of the rectangle has the colour.
region_is() {
    local got
    got=$(convert "$win" -crop "$3x$4+$1+$2" +repage -format '%k %[hex:p{0,0}]' info:)
    if [ "$got" = "1 $5" ]; then
        pass "$6 ($3x$4 at $1,$2) is $5"
    else
        fail "$6 ($3x$4 at $1,$2) is not all $5; its most frequent colours:"
        convert "$win" -crop "$3x$4+$1+$2" +repage -format %c histogram:info:- | sort -rn | head -n 4
    fi
}
# count X Y W H EXPR: pixels of the rectangle for which the fx expression holds.
count() {
    convert "$win" -crop "$3x$4+$1+$2" +repage -fx "$5" \
        -format '%[fx:round(mean*w*h)]' info:
}

# Start and find the window.
program_start "$wine" "$program"
pass "window $window titled \"$title\""

# Size and place: the client area (592 x 480, inside borders of 8 and a
# caption of 40) is centred on the screen.
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
W=$WIDTH H=$HEIGHT
[ "$W" -eq "$want_w" ] && [ "$H" -eq "$want_h" ] || die "window is ${W}x$H, not ${want_w}x$want_h"
pass "window is ${W}x$H"
want_x=$(( (screen_w - (W - 16)) / 2 - 8 )) want_y=$(( (screen_h - (H - 48)) / 2 - 40 ))
if [ "$X" -eq "$want_x" ] && [ "$Y" -eq "$want_y" ]; then
    pass "window at ($X,$Y), centred on the ${screen_w}x$screen_h screen"
else
    fail "window at ($X,$Y), not at ($want_x,$want_y) where it is centred on the ${screen_w}x$screen_h screen"
fi

# Screenshot once it has painted (two shots alike), cut to the window.
win=$work/window.ppm
for _ in $(seq 20); do
    sleep 0.3
    import -window root "$shot"
    convert "$shot" -crop "${W}x$H+$X+$Y" +repage "$win"
    [ -f "$work/previous.ppm" ] && cmp -s "$win" "$work/previous.ppm" && break
    cp "$win" "$work/previous.ppm"
done
echo "screenshot: $shot"

# The frame in colour scheme 0.
frame=282828 black=000000 white=FFFFFF
region_is 0 0 8 "$H" $frame "left border"
region_is $((W - 8)) 0 8 "$H" $frame "right border"
region_is 0 $((H - 8)) "$W" 8 $frame "bottom border"
region_is 0 0 "$W" 8 $frame "top border"
region_is 0 32 "$W" 8 $frame "strip under the caption"
region_is 132 40 8 $((H - 48)) $frame "splitter bar beside the list"
region_is 140 $((H - 10)) $((W - 148)) 2 $black "information panel below its curve"
region_is 8 8 4 24 $black "caption left of the title"
region_is $((W - 13)) 8 5 24 $black "caption right of the buttons"
# Title: black, or the title colour 0xFF0D36 blended with it.
other=$(count 8 8 $((W - 49)) 24 'g>r+0.02||b>r+0.02')
[ "$other" -eq 0 ] && pass "caption left of the buttons holds only black and the title colour" ||
    fail "caption left of the buttons has $other pixels neither black nor of the title colour"
red=$(count 12 8 $((W - 53)) 24 'r>0.25&&r>3*g&&r>2*b')
[ "$red" -ge 50 ] && pass "title: $red pixels of the title colour" ||
    fail "title: only $red pixels of the title colour between x=12 and x=$((W - 41))"
before=$failures
# Close button: a white cross, from (W-25,15) to (W-16,24) and from
# (W-25,24) to (W-16,15).
points=()
for k in $(seq 0 9); do points+=("$((W - 25 + k)),$((15 + k))" "$((W - 25 + k)),$((24 - k))"); done
pixels_are $white "close button cross" "${points[@]}"
# Colour-scheme button: a white T.
points=()
for x in $(seq $((W - 39)) $((W - 30))); do points+=("$x,15"); done
pixels_are $white "scheme button T bar" "${points[@]}"
points=()
for y in $(seq 15 24); do points+=("$(((2 * W - 68) / 2)),$y"); done
pixels_are $white "scheme button T stem" "${points[@]}"
[ "$failures" -eq "$before" ] && pass "white cross on the close button, white T on the colour-scheme button"

# Close it by its close button.
program_close
[ "$status" -eq 0 ] && pass "closed by its close button, exit code 0" ||
    fail "closed by its close button, exit code $status"

[ "$failures" -eq 0 ] || die "$failures checks failed (screenshot: $shot)"
echo "program_window: all checks passed"
