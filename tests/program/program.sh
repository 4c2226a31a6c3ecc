# The real program on the display (sourced by the program tests, which define
# die; fail and pass count and print the checks of those that keep going): program_start WINE PROGRAM starts it and finds its window ($pid,
# $window, and X Y WIDTH HEIGHT of the window); program_close clicks its
# close button and waits for it to end ($status); program_stop kills it.
title='ORVEN General MIDI DLS Tool'
pid=
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

program_start() {
    "$1" "$2" &
    pid=$!
    window=
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1) || true
        [ -n "$window" ] && break
        if ! kill -0 "$pid" 2>/dev/null; then
            status=0; wait "$pid" || status=$?; pid=
            die "the program exited with code $status without opening its window"
        fi
        sleep 0.1
    done
    [ -n "$window" ] || die "no window titled \"$title\" within 30 s"
    eval "$(xdotool getwindowgeometry --shell "$window")"
}

program_close() {
    xdotool mousemove $((X + WIDTH - 20)) $((Y + 20)) click 1
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && die "the program still runs 10 s after the click on its close button"
    status=0; wait "$pid" || status=$?; pid=
}

program_stop() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        echo "stopping the program (pid $pid)"
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
}
