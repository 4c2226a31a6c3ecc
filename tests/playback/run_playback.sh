#!/usr/bin/env bash
# Records a PulseAudio null sink while the playback test plays through Wine's
# player, then checks the recording against the images that were played.
# usage: run_playback.sh WINE TEST_EXE ANALYSIS_SCRIPT
# With PLAYBACK_KEEP=DIR the recording and the images are copied to DIR.
set -euo pipefail
wine=$1 exe=$2 analysis=$3
source "$(dirname "$0")/pulse.sh"
work=$(mktemp -d)
trap 'pulse_cleanup; [ -n "${PLAYBACK_KEEP:-}" ] && mkdir -p "$PLAYBACK_KEEP" && cp "$work"/*.raw "$work"/*.wav "$PLAYBACK_KEEP"; rm -rf "$work"' EXIT
pulse_start "$work"
(cd "$work" && "$wine" "$exe")
pulse_stop
python3 "$analysis" "$work/recorded.raw" "$work"
