#!/usr/bin/env bash
# dlsindex on the default sound set agrees with libgig's dlsdump; dlsindex
# refuses a file it cannot read with exit code 1 and a message.
set -euo pipefail
wine=$1 dlsindex=$2 dls=$3
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp)
trap 'rm -f "$out" "$out.err"' EXIT

"$wine" "$dlsindex" "Z:$dls" > "$out"
python3 "$here/compare_dlsdump.py" "$dls" "$out"

if "$wine" "$dlsindex" 'Z:\no\such\file.dls' > /dev/null 2> "$out.err"; then
    echo "dlsindex accepted a missing file"; exit 1
fi
grep -q "cannot read" "$out.err" || { echo "dlsindex gave no message"; exit 1; }
echo "dlsindex: refuses a missing file"
