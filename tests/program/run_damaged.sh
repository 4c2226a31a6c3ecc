#!/usr/bin/env bash
# A damaged sound set that the reader accepts, in the real program: every row
# picked, every button of the information panel pressed (save dialogs
# cancelled), odd values typed into the envelope's edits; the window then
# closes with exit code 0.
# usage: run_damaged.sh WINE PROGRAM DAMAGED_SET_EXE
set -euo pipefail
wine=$1 program=$2 damaged=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/program.sh"
installed=$WINEPREFIX/drive_c/windows/system32/drivers/gm.dls
work=$(mktemp -d)
cp "$installed" "$work/gm.dls.orig"
trap 'program_stop; cp "$work/gm.dls.orig" "$installed"; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }

(cd "$work" && "$wine" "$damaged" damaged.dls) || die "damaged_set failed"
cp "$work/damaged.dls" "$installed"
program_start "$wine" "$program"
cx=$((X + 8)) cy=$((Y + 40))
click() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; sleep 0.3; }
# Cancels a save dialog, or answers an error box, if one opened.
cancel_dialog() {
    sleep 1
    local dialog
    dialog=$(xdotool search --onlyvisible --name '^(Save\.\.\.|Error)$' 2>/dev/null | head -n 1) || true
    [ -n "$dialog" ] && xdotool windowfocus --sync "$dialog" key Escape && sleep 0.5
    return 0
}
for row in 0 1 2 3 4 5; do
    click 40 $((2 + 12 * row + 6))
    click $((132 + 387)) 36; click $((132 + 435)) 36; cancel_dialog      # raw Play, Save
    click $((132 + 427)) 76; click $((132 + 427)) 98; cancel_dialog      # envelope Play, Save
    kill -0 "$pid" 2>/dev/null || die "the program ended at row $row"
done
for typed in nan inf 1e30 -5; do
    for y in 72 86 100; do
        xdotool mousemove $((cx + 132 + 90)) $((cy + y)) click --repeat 2 1
        xdotool type --delay 20 -- "$typed"
        xdotool key Return
    done
    click 40 $((2 + 12 * 3 + 6))
    click $((132 + 427)) 76
done
kill -0 "$pid" 2>/dev/null || die "the program ended after the odd values"
program_close
[ "$status" -eq 0 ] || die "exit code $status"
echo "program_damaged: every row and button, exit code 0"
