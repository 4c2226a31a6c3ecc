#!/usr/bin/env bash
# The program at other display scales (LogPixels 120, 144 and 192 in the
# prefix), against the same program at 96 DPI: the window's size, every
# control's rectangle as the screen reader reads it (its 96-DPI rectangle
# with scaled edges; at 120 DPI neighbours still tile), clicks at scaled
# positions, and a photograph that matches the 96-DPI one when scaled down
# but is not that picture stretched. Then a DPI change while running
# (WM_DPICHANGED from inside the program's thread) must leave the window as
# a fresh start at 144 DPI, keeping the selection and a typed value.
# usage: run_scale.sh WINE PROGRAM SCALE_PROBE DPI_HOOK
set -euo pipefail
wine=$1 program=$2 probe=$3 hook=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/program.sh"
work=$(mktemp -d)
trap 'program_stop; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }
winhook=$(printf 'Z:%s' "$hook" | tr / '\\')

facts() { "$wine" "$probe" facts | tr -d '\r' > "$1" || die "the probe failed: $(cat "$1")"; }
photo() { sleep 1; import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$1"; }
# click_at UX UY: a click at a client point given in units.
click_at() { xdotool mousemove $((X + $(u 8) + $(u $1))) $((Y + $(u 40) + $(u $2))) click 1; }
# The centre, in units, of a control of the 96-DPI facts.
centre() { awk -v c="$1" '$1 == "control" && index($0, c " ") == 9 { print $(NF-3) + int($(NF-1) / 2), $(NF-2) + int($NF / 2); exit }' "$work/f96"; }
selected() { sed -n 's/^selected //p' "$1"; }
# A click on a row (display row 3) and on the envelope's Save, at scaled
# positions: the row is chosen, and Save opens its dialog.
clicks() {
    click_at 40 $((2 + 12 * 3 + 6))
    sleep 1
    facts "$work/c$dpi"
    [ "$(selected "$work/c$dpi")" = "$row3" ] && pass "$dpi DPI: a click on row 3 chose \"$row3\"" ||
        fail "$dpi DPI: a click on row 3 chose \"$(selected "$work/c$dpi")\", not \"$row3\""
    read -r sx sy < <(centre 'push_button|Save')
    click_at "$sx" "$sy"
    local dialog
    dialog=$(await_window 'Save\.\.\.')
    if [ -n "$dialog" ]; then
        pass "$dpi DPI: a click on Save opened the save dialog"
        sleep 0.5
        xdotool key Escape
        for _ in $(seq 100); do xdotool search --onlyvisible --name '^Save\.\.\.$' >/dev/null 2>&1 || break; sleep 0.1; done
    else
        fail "$dpi DPI: a click on Save at ($sx,$sy) opened no dialog"
    fi
}

# 96 DPI: the reference.
program_dpi "$wine" 96
program_start "$wine" "$program"
xdotool windowfocus --sync "$window"
facts "$work/f96"
photo "$work/p96.png"
click_at 40 $((2 + 12 * 3 + 6))
sleep 1
facts "$work/c96"
row3=$(selected "$work/c96")
program_close

for d in 120 144 192; do
    program_dpi "$wine" "$d"
    program_start "$wine" "$program"
    xdotool windowfocus --sync "$window"
    facts "$work/f$d"
    photo "$work/p$d.png"
    python3 "$here/check_scale.py" "$work/f96" "$work/f$d" "$d" && pass "$d DPI: window and controls to scale" ||
        fail "$d DPI: window or controls not to scale"
    if [ "$d" != 120 ]; then
        python3 "$here/check_scale.py" --photos "$work/p96.png" "$work/p$d.png" && pass "$d DPI: the photograph" ||
            fail "$d DPI: the photograph"
        clicks
    fi
    program_close
done
for d in 96 144 192; do cp "$work/p$d.png" "$PWD/program_scale_$d.png"; done   # for a look

# A DPI change while running: a row chosen and a value typed, not committed.
program_dpi "$wine" 96
program_start "$wine" "$program"
xdotool windowfocus --sync "$window"
xdotool key Down
sleep 0.5
for _ in 1 2 3 4 5; do xdotool key Tab; done
xdotool type --delay 20 '0.75'
sleep 0.5
facts "$work/before"
"$wine" "$probe" dpi 144 96 "$winhook" | tr -d '\r' || fail "no DPI change"
dpi=144
eval "$(xdotool getwindowgeometry --shell "$window")"
facts "$work/after"
photo "$work/pchanged.png"
python3 "$here/check_scale.py" --same "$work/f144" "$work/after" && pass "after the change: as a fresh start at 144 DPI" ||
    fail "after the change: not as a fresh start at 144 DPI"
python3 "$here/check_scale.py" --labels "$work/f144" "$work/p144.png" "$work/pchanged.png" &&
    pass "after the change: the captions and labels drawn as at a fresh start" || fail "after the change: the text differs"
for key in selected 'value Attack'; do
    b=$(grep "^$key" "$work/before") a=$(grep "^$key" "$work/after") || true
    [ -n "$b" ] && [ "$a" = "$b" ] && pass "kept: $a" || fail "not kept: \"$b\" became \"$a\""
done
program_close
[ "$status" -eq 0 ] && pass "exit code 0 after the change" || fail "exit code $status after the change"
echo "$failures failed"
[ "$failures" -eq 0 ]
