# The real program on the display (sourced by the program tests, which define
# die; fail and pass count and print the checks of those that keep going): program_start WINE PROGRAM starts it and finds its window ($pid,
# $window, and X Y WIDTH HEIGHT of the window); program_close clicks its
# close button and waits for it to end ($status); program_stop kills it and
# puts the prefix back to 96 DPI.
title='ORVEN General MIDI DLS Tool'
pid=
# The display scale the program starts at: ORVEN_TEST_DPI, else 96. `u N`
# turns N units (the 96-DPI pixels the tests are written in) into device
# pixels as the program scales an edge: round(N x dpi / 96).
dpi=${ORVEN_TEST_DPI:-96}
dpi_set=
u() { echo $(( ($1 * dpi + 48) / 96 )); }
# Sets the prefix's LogPixels for the programs started from now on.
program_dpi() {
    dpi=$2
    if [ "$dpi" = 96 ]; then
        "$1" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f </dev/null >/dev/null 2>&1 || true
    else
        "$1" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
        dpi_set=$1
    fi
}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

program_start() {
    [ "$dpi" = 96 ] || [ -n "$dpi_set" ] || program_dpi "$1" "$dpi"
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

# Waits up to 30 s for a visible window titled exactly $1; its id, or nothing.
await_window() {
    local found=
    for _ in $(seq 300); do
        found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -n "$found" ] && break
        sleep 0.1
    done
    echo "$found"
}

program_close() {
    xdotool mousemove $((X + WIDTH - $(u 20))) $((Y + $(u 20))) click 1
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
    # The prefix goes back to 96 DPI for the tests after this one.
    if [ -n "$dpi_set" ]; then program_dpi "$dpi_set" 96; dpi_set=; fi
}
