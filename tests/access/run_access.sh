#!/usr/bin/env bash
# The real program read by a screen reader of the test's own (access_client,
# a second Wine process): the tree, names, values and states it finds; the
# events it hears while it drives the program with keys; Play pressed by its
# default action; behind the save dialog it opens, a refused Play and row
# selection, and the saved file's bytes. What was heard is the row Down
# chose, through the envelope, then that row's wave as stored. The program is closed while the client
# still holds objects: exit code 0 and no MemLeak.log.
# usage: run_access.sh WINE PROGRAM RENDER_ROWS DLSINDEX CLIENT SOUNDSET
set -euo pipefail
wine=$1 program=$2 render=$3 dlsindex=$4 client=$5 soundset=$6
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../playback/pulse.sh"
source "$here/../program/program.sh"
work=$(mktemp -d)
client_pid=
trap '[ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null; program_stop; pulse_cleanup; rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }

# The rows, the one Down chooses from the first instrument read (K) and its images.
"$wine" "$render" "Z:$soundset" . names | tr -d '\r' > "$work/rows.txt" || die "render_rows failed"
count=$(awk '$1 == "rows" { print $2 }' "$work/rows.txt")
first=$(awk '$1 == "first" { print $2 }' "$work/rows.txt")
K=$((first + 1))
[ "$K" -lt "$count" ] || die "the first instrument read is the last row: Down chooses nothing"
(cd "$work" && "$wine" "$render" "Z:$soundset" . "$K" "raw:$K") >/dev/null || die "render_rows failed"
"$wine" "$dlsindex" "Z:$soundset" | tr -d '\r' > "$work/index.txt" || die "dlsindex failed"
# Row K through the envelope the client leaves (Attack 0.5, Sustain 0.51),
# saved behind the dialog; and as stored, which the file must not be.
mkdir -p "$work/behind" "$work/saved"
(cd "$work/behind" && "$wine" "$render" "Z:$soundset" . 0.5,0.51,0.25 "$K") >/dev/null || die "render_rows failed"

# What the client must find at start: the first instrument read and its first region.
name=$(awk '$1 == "instrument" && $2 == 0 { sub(/^instrument 0 regions [0-9]+ name /, ""); print; exit }' "$work/index.txt")
read -r cue offset loop_start loop_length < <(awk '$1 == "region" && $2 == "0.0" {
    print $4, $6, ($8 == "none" ? 0 : $8), ($8 == "none" ? 0 : $9); exit }' "$work/index.txt")
{
    printf 'tree %s\n' 'list|Instruments|-|-' 'scrollbar|Instruments|*|-' "statictext|$name|-|-" \
        'statictext|Wave Index|-|-' 'statictext|Byte Offset|-|-' 'statictext|Loop Start|-|-' \
        'statictext|Loop Length|-|-' 'statictext|Raw Wave|-|-' "statictext|Wave Index|$cue|-" \
        "statictext|Byte Offset|$offset|-" "statictext|Loop Start|$loop_start|-" \
        "statictext|Loop Length|$loop_length|-" 'pushbutton|Play|-|Raw Wave' 'pushbutton|Save|-|Raw Wave' \
        'statictext|Envelope|-|-' 'pushbutton|Play|-|Envelope' 'pushbutton|Save|-|Envelope' \
        'statictext|Attack|-|-' 'text|Attack|0|-' 'slider|Attack|0|-' \
        'statictext|Sustain|-|-' 'text|Sustain|0.5|-' 'slider|Sustain|0.5|-' \
        'statictext|Release|-|-' 'text|Release|0.25|-' 'slider|Release|0.25|-' \
        'diagram|Envelope curve|-|Attack 0 s, Sustain 0.5 s, Release 0.25 s'
    echo "rows $count"
    echo "selected $first"
    echo "down $K"
    printf 'save Z:%s\n' "$work/saved/behind.wav" | tr / '\\'
    awk -v first="$first" -v k="$K" -v last="$((count - 1))" '$1 == "name" && ($2 == 0 || $2 == first || $2 == k || $2 == last) {
        r = $2; sub(/^name [0-9]+ /, ""); print "row " r " " $0 }' "$work/rows.txt"
} > "$work/expect.txt"

leaks=$(dirname "$program")/MemLeak.log
rm -f "$leaks"
pulse_start "$work"
program_start "$wine" "$program"
xdotool windowfocus --sync "$window"

"$wine" "$client" "$(printf 'Z:%s' "$work/expect.txt" | tr / '\\')" > "$work/client.log" 2>&1 &
client_pid=$!
for _ in $(seq 1200); do
    grep -q '^holding' "$work/client.log" 2>/dev/null && break
    kill -0 "$client_pid" 2>/dev/null || break
    sleep 0.1
done
tr -d '\r' < "$work/client.log"
grep -q '^holding' "$work/client.log" || fail "the client did not come to hold its objects within 120 s"

# Closed while the client holds objects of every kind.
program_close
[ "$status" -eq 0 ] && pass "closed while the client holds objects: exit code 0" || fail "exit code $status"
[ ! -e "$leaks" ] && pass "no MemLeak.log" || { fail "MemLeak.log written:"; cat "$leaks"; }
client_status=0
for _ in $(seq 600); do kill -0 "$client_pid" 2>/dev/null || break; sleep 0.1; done
wait "$client_pid" || client_status=$?
client_pid=
tr -d '\r' < "$work/client.log" | sed -n '/^holding/,$p' | tail -n +2
[ "$client_status" -eq 0 ] && pass "the client's checks passed" || fail "the client's checks failed ($client_status)"
pulse_stop

cmp -s "$work/saved/behind.wav" "$work/behind/row$K.wav" &&
    pass "the save behind the refused actions wrote row $K's enveloped image" ||
    fail "the file saved behind the dialog is not row $K's enveloped image ($(stat -c %s "$work/saved/behind.wav" 2>/dev/null || echo no) bytes, want $(stat -c %s "$work/behind/row$K.wav"); as stored: $(stat -c %s "$work/raw$K.wav"))"

python3 "$here/../program/check_sounds.py" "$work/recorded.raw" "$work/row$K.wav" "$work/raw$K.wav" &&
    pass "heard row $K through the envelope (Down), then its wave as stored (Play's default action)" ||
    fail "the sounds heard are not row $K's and its raw wave's"

[ "$failures" -eq 0 ] || die "$failures checks failed"
echo "program_access: all checks passed"
