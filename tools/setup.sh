# Set-up shared by ./run and ./test (sourced, not run): installs what is
# missing, builds, prepares the Wine prefix and the default sound set, and
# starts a display and a persistent wineserver. Everything started here is
# stopped by orven_cleanup, which the callers run on exit.

set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2
mkdir -p "$BUILD"
log() { printf '== %s\n' "$*" >&2; }

ORVEN_STARTED_XVFB=
ORVEN_STARTED_WINESERVER=
orven_cleanup() {
    set +e
    if [ -n "$ORVEN_STARTED_WINESERVER" ]; then
        WINEPREFIX=$WINEPREFIX "$WINESERVER" -k >/dev/null 2>&1
        WINEPREFIX=$WINEPREFIX "$WINESERVER" -w >/dev/null 2>&1
    fi
    if [ -n "$ORVEN_STARTED_XVFB" ]; then
        kill "$ORVEN_STARTED_XVFB" >/dev/null 2>&1
        wait "$ORVEN_STARTED_XVFB" 2>/dev/null
    fi
}

# Packages -------------------------------------------------------------------
# The 64-bit tools come first and the 32-bit Wine on its own, so that a mirror
# that serves some lists but not others costs at most the 32-bit build.
orven_packages() {
    local want=(cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
        wine wine64 xvfb x11-utils xdotool imagemagick
        timgm6mb-soundfont gigtools libgig-dev pkg-config g++ python3
        fonts-dejavu-core fonts-urw-base35 pulseaudio pulseaudio-utils)
    command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || want+=(nodejs npm)
    local missing=() wine32=
    for p in "${want[@]}"; do orven_installed "$p" || missing+=("$p"); done
    [ "${ORVEN_ARCH:-}" = win64 ] || orven_installed wine32:i386 || wine32=wine32:i386
    [ ${#missing[@]} -eq 0 ] && [ -z "$wine32" ] && return
    log "installing: ${missing[*]} $wine32"
    if [ -n "$wine32" ]; then
        dpkg --print-foreign-architectures | grep -qx i386 || orven_when_unlocked dpkg --add-architecture i386
    fi
    orven_update
    if [ ${#missing[@]} -gt 0 ]; then
        DEBIAN_FRONTEND=noninteractive orven_when_unlocked apt-get -o DPkg::Lock::Timeout=60 install -y -qq \
            --no-install-recommends "${missing[@]}"
    fi
    [ -n "$wine32" ] || return 0
    local out
    if ! out=$(DEBIAN_FRONTEND=noninteractive orven_when_unlocked apt-get -o DPkg::Lock::Timeout=60 \
            install -y -qq --no-install-recommends "$wine32" 2>&1); then
        out=$(grep -E '^E: ' <<<"$out" | tail -n 1)
        log "the 32-bit Wine cannot be installed (${out:-apt-get failed}); the 64-bit build runs instead"
        ORVEN_ARCH=win64
    fi
}

orven_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# A mirror in the middle of a sync fails some lists: three tries, then on
# with the lists that did download.
orven_update() {
    local try
    for try in 1 2 3; do
        orven_when_unlocked apt-get -o DPkg::Lock::Timeout=60 update -qq 2>/dev/null && return 0
        [ "$try" -lt 3 ] && sleep "${ORVEN_UPDATE_PAUSE:-5}"
    done
    log "warning: some package lists could not be downloaded; going on with those that did"
}

# Runs a package-manager command, waiting (up to 15 minutes) while another
# install or an automatic update holds the package manager's locks.
orven_when_unlocked() {
    local deadline=$((SECONDS + 900)) out
    while :; do
        if out=$("$@" 2>&1); then return 0; fi
        if grep -qiE 'could not get lock|unable to acquire|locked by|is held by' <<<"$out" && [ "$SECONDS" -lt "$deadline" ]; then
            log "the package manager is busy; waiting for it"
            sleep 10
            continue
        fi
        printf '%s\n' "$out" >&2
        return 1
    done
}

# Which Windows build this host runs: 32-bit Wine needs the kernel's 32-bit
# support; without it the 64-bit build of the same sources runs under wine64.
orven_pick_arch() {
    if [ -n "${ORVEN_ARCH:-}" ]; then
        :
    elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
        ORVEN_ARCH=win32
    else
        log "the 32-bit Wine does not start here; the 64-bit build runs instead"
        ORVEN_ARCH=win64
    fi
    if [ "$ORVEN_ARCH" = win32 ]; then
        WINE=/usr/lib/wine/wine; WINESERVER=/usr/lib/wine/wineserver32; export WINEARCH=win32
    else
        WINE=/usr/lib/wine/wine64; WINESERVER=/usr/lib/wine/wineserver64; export WINEARCH=win64
    fi
    export WINEPREFIX=$BUILD/prefix-$ORVEN_ARCH
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    log "running the $ORVEN_ARCH build under $WINE"
}

# Build ------------------------------------------------------------------------
orven_build() {
    local arch toolchain
    for arch in win32 win64; do
        toolchain=$ROOT/cmake/mingw-i686.cmake
        [ "$arch" = win64 ] && toolchain=$ROOT/cmake/mingw-x86_64.cmake
        if [ ! -f "$BUILD/$arch/build.ninja" ]; then
            cmake -S "$ROOT" -B "$BUILD/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
                -DORVEN_SOUNDSET='C:\windows\system32\drivers\gm.dls' \
                -DORVEN_SOUNDSET_UNIX="$BUILD/soundset/gm.dls" >/dev/null
        fi
        log "building $arch"
        ninja -C "$BUILD/$arch" >&2
    done
    log "building the libgig benchmark"
    mkdir -p "$BUILD/host"
    if [ ! -x "$BUILD/host/gigbench" ] || [ "$ROOT/tools/gigbench/gigbench.cpp" -nt "$BUILD/host/gigbench" ]; then
        g++ -O2 -std=c++17 -o "$BUILD/host/gigbench" "$ROOT/tools/gigbench/gigbench.cpp" \
            $(pkg-config --cflags --libs gig)
    fi
}

# The default sound set: TimGM6mb converted to DLS at 22,050 Hz.
orven_soundset() {
    local out=$BUILD/soundset/gm.dls gen=$ROOT/tools/gmdls
    mkdir -p "$BUILD/soundset"
    if [ ! -d "$gen/node_modules" ] || [ "$gen/package-lock.json" -nt "$gen/node_modules" ]; then
        log "installing the converter's npm packages"
        (cd "$gen" && npm ci --silent --no-audit --no-fund >&2 && touch node_modules)
    fi
    if [ ! -s "$out" ] || [ "$gen/make_gm_dls.mjs" -nt "$out" ]; then
        log "making the default sound set"
        node "$gen/make_gm_dls.mjs" "$SOUNDFONT" "$out.tmp" >&2
        mv "$out.tmp" "$out"
        mv "$out.tmp.json" "$out.json" 2>/dev/null || true
    fi
}

# Display ----------------------------------------------------------------------
orven_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
    local n=90
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    # Large enough for the window at 200 %.
    Xvfb :$n -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    ORVEN_STARTED_XVFB=$!
    export DISPLAY=:$n
    local i
    for i in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return; sleep 0.1; done
    log "Xvfb did not start"; return 1
}

# Wine prefix inside the build folder, with the sound set where Windows keeps
# it and the fonts the program asks for mapped to free look-alikes.
orven_prefix() {
    "$WINESERVER" -p >/dev/null 2>&1 </dev/null &
    ORVEN_STARTED_WINESERVER=1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        log "creating the Wine prefix $WINEPREFIX"
        setsid "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    else
        setsid "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
    fi
    local drivers=$WINEPREFIX/drive_c/windows/system32/drivers
    mkdir -p "$drivers"
    cmp -s "$BUILD/soundset/gm.dls" "$drivers/gm.dls" || cp "$BUILD/soundset/gm.dls" "$drivers/gm.dls"
    orven_fonts
    # The display scale: ORVEN_DPI when given, else 96 whatever a test
    # stopped half-way left behind.
    if [ -n "${ORVEN_DPI:-}" ]; then
        "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$ORVEN_DPI" /f </dev/null >/dev/null 2>&1
    else
        "$WINE" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f </dev/null >/dev/null 2>&1 || true
    fi
}

# Verdana (controls) and Century Gothic (caption) are not in the prefix: GDI
# gets DejaVu Sans and URW Gothic under their names instead.
orven_fonts() {
    local key='HKCU\Software\Wine\Fonts\Replacements' have pair face sub
    have=$("$WINE" reg query "$key" </dev/null 2>/dev/null | tr -d '\r' || true)
    for pair in 'Verdana=DejaVu Sans' 'Century Gothic=URW Gothic'; do
        face=${pair%%=*} sub=${pair#*=}
        grep -qxF "    $face    REG_SZ    $sub" <<<"$have" && continue
        log "mapping the font $face to $sub"
        "$WINE" reg add "$key" /v "$face" /t REG_SZ /d "$sub" /f </dev/null >/dev/null 2>&1
    done
}

# Wine's crash dialog waits for a person: in a test run it is off, so that a
# crash ends its test at once with Wine's backtrace in the log; ./run keeps it.
orven_crash_dialog() {
    local key='HKCU\Software\Wine\WineDbg' want=$1 have
    have=$("$WINE" reg query "$key" /v ShowCrashDialog </dev/null 2>/dev/null | tr -d '\r' |
        awk '$1 == "ShowCrashDialog" { print $3 }' || true)
    [ "$have" = "0x$want" ] && return
    "$WINE" reg add "$key" /v ShowCrashDialog /t REG_DWORD /d "$want" /f </dev/null >/dev/null 2>&1
}

orven_setup() {
    trap orven_cleanup EXIT
    orven_packages
    orven_pick_arch
    orven_soundset
    orven_build
    orven_display
    orven_prefix
}
