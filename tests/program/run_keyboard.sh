#!/usr/bin/env bash
# The real program driven as a person would: from the keyboard alone (Tab
# round the whole cycle and back, Down in the list, Tab to the Sustain edit,
# a value typed, Shift+Tab to the envelope's Save, Enter, the save dialog); a
# value typed and not committed before a click on a row (it counts); an
# envelope without sound refused with a box and no file; the window closed
# while a long sound plays (exit code 0, no leak file). Saved files are
# compared with the images the test renders.
# usage: run_keyboard.sh WINE PROGRAM RENDER_ROWS SOUNDSET
set -euo pipefail
wine=$1 program=$2 render=$3 soundset=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../playback/pulse.sh"
source "$here/program.sh"
work=$(mktemp -d)
trap 'program_stop; pulse_cleanup; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }

# Row K: the first row after the first instrument read whose envelope image
# differs from that instrument's (neighbours may share a wave), chosen with
# Down from the start; row M: clicked with Sustain 1.5 typed but not committed.
"$wine" "$render" "Z:$soundset" . | tr -d '\r' > "$work/rows.txt" || die "render_rows failed"
count=$(awk '$1 == "rows" { print $2 }' "$work/rows.txt")
first=$(awk '$1 == "first" { print $2 }' "$work/rows.txt")
last=$((first + 8 < count ? first + 8 : count - 1))
M=3
[ "$M" -lt "$first" ] || [ "$M" -gt "$last" ] || M=$((last + 1))
(cd "$work" && "$wine" "$render" "Z:$soundset" . 0,0.3,0.25 $(seq "$first" "$last") 0,1.5,0.25 "$M") |
    tr -d '\r' > "$work/rows.txt" || die "render_rows failed"
K=
for r in $(seq $((first + 1)) "$last"); do
    cmp -s "$work/row$r.wav" "$work/row$first.wav" || { K=$r; break; }
done
[ -n "$K" ] || die "no row after $first plays differently"

leaks=$(dirname "$program")/MemLeak.log
rm -f "$leaks"
mkdir -p "$work/saved"
winwork=$(printf 'Z:%s' "$work" | tr / '\\')
pulse_start "$work"
program_start "$wine" "$program"
cx=$((X + $(u 8))) cy=$((Y + $(u 40)))   # coordinates below are in units
xdotool windowfocus --sync "$window"

# Answers the save dialog: types $1 into it when given, then Enter.
save_dialog() {
    local dialog
    dialog=$(await_window 'Save\.\.\.')
    [ -n "$dialog" ] || { fail "no save dialog"; return 1; }
    sleep 0.5   # the dialog finishes its own start-up
    [ -n "$1" ] && xdotool type --delay 20 "$1"
    xdotool key Return
}
# Waits up to 30 s for a file to appear and stop growing.
await_file() {
    for _ in $(seq 300); do [ -s "$1" ] && break; sleep 0.1; done
    sleep 0.3
}
# The proposed name of row $1's envelope save with counts $2.
proposed() {
    awk -v row="$1" -v counts="$2" '$1 == "row" && $2 == row {
        n = $0; sub(/.* name /, "", n); gsub(/[\\\/:*?"<>|]/, "_", n)
        printf "%s (%s-%s-%s_%s).wav\n", n, $6, $8, $9, counts; exit }' "$work/rows.txt"
}

# Keyboard only: the list has the focus at start; Tab walks list, Play, Save,
# envelope Play, envelope Save, Attack, Sustain, Release and back to the list,
# Shift+Tab the other way: once round each way, Down still chooses from the list.
xdotool key --delay 50 Tab Tab Tab Tab Tab Tab Tab Tab
xdotool key --delay 50 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab
for _ in $(seq $((K - first))); do xdotool key Down; done
xdotool key Tab Tab Tab Tab Tab Tab
xdotool type --delay 20 0.3
xdotool key Tab shift+Tab shift+Tab shift+Tab Return
if save_dialog "$winwork\\saved\\keyboard.wav"; then
    await_file "$work/saved/keyboard.wav"
    cmp -s "$work/saved/keyboard.wav" "$work/row$K.wav" &&
        pass "keyboard only: Down $((K - first)) times chose row $K, Sustain 0.3 typed, the envelope saved" ||
        fail "keyboard.wav differs from row $K with Sustain 0.3 (or is missing)"
fi

# Sustain 1.5 typed, not committed; the wheel scrolls the list to its top and
# row M is clicked: it plays, and saves, with 1.5.
xdotool mousemove $((cx + $(u $((132 + 90))))) $((cy + $(u 86))) click --repeat 2 1
xdotool type --delay 20 1.5
xdotool mousemove $((cx + $(u 40))) $((cy + $(u 200))) click --repeat 80 4
xdotool mousemove $((cx + $(u 40))) $((cy + $(u $((2 + 12 * M + 6))))) click 1
xdotool mousemove $((cx + $(u $((132 + 427))))) $((cy + $(u 98))) click 1
name=$(proposed "$M" 0-33075-5512)
if save_dialog ""; then
    await_file "$work/saved/$name"
    cmp -s "$work/saved/$name" "$work/row$M.wav" && pass "the typed 1.5 counted for the row clicked: \"$name\"" ||
        { fail "no \"$name\" equal to row $M with Sustain 1.5; saved:"; ls "$work/saved"; }
fi

# Sustain -1: nothing to save; a box says why and no file is written.
files=$(ls "$work/saved" | wc -l)
xdotool mousemove $((cx + $(u $((132 + 90))))) $((cy + $(u 86))) click --repeat 2 1
xdotool type --delay 20 -- -1
xdotool key Return
xdotool mousemove $((cx + $(u $((132 + 427))))) $((cy + $(u 98))) click 1
box=$(await_window Error)
if [ -n "$box" ]; then
    pass "saving an envelope without sound shows the Error box"
    xdotool windowfocus --sync "$box" key Return
    for _ in $(seq 100); do xdotool search --onlyvisible --name '^Error$' >/dev/null 2>&1 || break; sleep 0.1; done
else
    fail "no Error box for an envelope without sound"
fi
[ -z "$(xdotool search --onlyvisible --name '^Save\.\.\.$' 2>/dev/null)" ] || fail "a save dialog opened"
[ "$(ls "$work/saved" | wc -l)" -eq "$files" ] && pass "and writes no file" || fail "a file was written"

# Sustain 60, the envelope's Play, and the window closed while it plays.
xdotool mousemove $((cx + $(u $((132 + 90))))) $((cy + $(u 86))) click --repeat 2 1
xdotool type --delay 20 60
xdotool key Return
xdotool mousemove $((cx + $(u $((132 + 427))))) $((cy + $(u 76))) click 1
sleep 1   # a second of the sound
program_close
[ "$status" -eq 0 ] && pass "closed while a long sound played, exit code 0" || fail "exit code $status"
[ ! -e "$leaks" ] && pass "no MemLeak.log" || { fail "MemLeak.log written:"; cat "$leaks"; }
pulse_stop
# The last 2.5 s of the recording hold only the long sound (the earlier ones
# ended seconds before): it was heard until the close.
heard=$(python3 -c '
import sys, array
a = array.array("h", open(sys.argv[1], "rb").read())[-55125:]
print(sum(1 for i in range(0, len(a) - 220, 220) if max(map(abs, a[i:i + 220])) > 300) / 100)' "$work/recorded.raw")
python3 -c "import sys; sys.exit(0 if $heard >= 0.5 else 1)" &&
    pass "the long sound played until the window closed ($heard s heard at the end)" ||
    fail "only $heard s of sound at the end: the close did not come during the long sound"

[ "$failures" -eq 0 ] || die "$failures checks failed"
echo "program_keyboard: all checks passed"
