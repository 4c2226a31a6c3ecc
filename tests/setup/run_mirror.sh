#!/usr/bin/env bash
# The set-up's package step against a mirror's bad moment, with stand-ins
# for apt-get, dpkg-query and dpkg on PATH: an update that fails one list
# every time, then a 32-bit Wine the resolver refuses. The step must finish,
# warn once, install the 64-bit tools before trying the 32-bit Wine alone,
# and pick the 64-bit build with a one-line reason; with a good mirror it
# picks nothing by itself.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

mkdir -p "$work/bin"
cat > "$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >> "$STUB_LOG"
case " $* " in
*" update "*)
    if [ "$STUB_UPDATE" = fail ]; then
        echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
        exit 100
    fi ;;
*" wine32:i386 "*)
    if [ "$STUB_WINE32" = refuse ]; then
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
    fi ;;
esac
exit 0
STUB
printf '#!/usr/bin/env bash\nexit 1\n' > "$work/bin/dpkg-query"
printf '#!/usr/bin/env bash\necho "dpkg $*" >> "$STUB_LOG"\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' > "$work/bin/dpkg"
chmod +x "$work/bin/"*

# step UPDATE WINE32: runs the package step; its ORVEN_ARCH, log and messages.
step() {
    : > "$work/log"
    STUB_LOG=$work/log STUB_UPDATE=$1 STUB_WINE32=$2 PATH="$work/bin:$PATH" ORVEN_UPDATE_PAUSE=0 \
        bash -c 'source "$1/tools/setup.sh"; ORVEN_ARCH=; orven_packages; echo "arch=${ORVEN_ARCH:-}"' \
        _ "$here/../.." > "$work/out" 2> "$work/err"
    echo "status=$?" >> "$work/out"
}
has() { grep -qF -- "$2" "$work/$1"; }

step fail refuse
cat "$work/err"
has out status=0 && pass "a bad mirror: the step finished" || fail "a bad mirror: the step failed"
has out arch=win64 && pass "the 64-bit build is picked" || fail "not the 64-bit build: $(cat "$work/out")"
[ "$(grep -c ' update' "$work/log")" -eq 3 ] && pass "the update was tried three times" ||
    fail "the update was tried $(grep -c ' update' "$work/log") times"
[ "$(grep -c 'some package lists could not be downloaded' "$work/err")" -eq 1 ] && pass "one warning" ||
    fail "no single warning about the lists"
grep -q 'the 32-bit Wine cannot be installed (E: Unable to correct problems, you have held broken packages.); the 64-bit build runs instead' "$work/err" &&
    pass "one line says why" || fail "no line says why the 32-bit Wine is missing"
installs=$(grep ' install ' "$work/log")
first=$(head -n 1 <<<"$installs") second=$(sed -n 2p <<<"$installs")
if [[ "$first" == *wine64* && "$first" != *wine32* && "$second" == *wine32:i386* && "$second" != *wine64* ]]; then
    pass "the 64-bit tools first, the 32-bit Wine on its own"
else
    fail "installs in the wrong order: $installs"
fi

step ok ok
has out status=0 && has out 'arch=' && ! has out arch=win && pass "a good mirror: no build is forced" ||
    fail "a good mirror: $(cat "$work/out")"
has err warning && fail "a good mirror warned: $(cat "$work/err")" || pass "a good mirror: no warning"

echo "$failures failed"
[ "$failures" -eq 0 ]
