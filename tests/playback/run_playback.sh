#!/usr/bin/env bash
# Records a PulseAudio null sink while the playback test plays through Wine's
# player, then checks the recording against the images that were played.
# usage: run_playback.sh WINE TEST_EXE ANALYSIS_SCRIPT
set -euo pipefail
wine=$1 exe=$2 analysis=$3
work=$(mktemp -d)
export PULSE_RUNTIME_PATH=$work/pulse PULSE_STATE_PATH=$work/state
mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
stop() {
    [ -n "${recorder:-}" ] && kill "$recorder" 2>/dev/null
    [ -n "${feeder:-}" ] && kill "$feeder" 2>/dev/null
    pulseaudio --kill 2>/dev/null || true
    rm -rf "$work"
}
trap stop EXIT
pulseaudio -D --exit-idle-time=-1 --disallow-exit -n \
    --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=orven_null" 2>/dev/null
for i in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink orven_null
# Zeros keep the sink running, so the recording starts at once and carries
# the whole of every sound.
pacat --playback -d orven_null --raw --format=s16le --rate=22050 --channels=1 </dev/zero &
feeder=$!
parec -d orven_null.monitor --rate=22050 --channels=1 --format=s16le \
    --latency-msec=100 > "$work/recorded.raw" &
recorder=$!
# Play only once the recorder really streams: half a second of silence first.
for i in $(seq 200); do
    [ "$(stat -c %s "$work/recorded.raw")" -ge 22050 ] && break
    sleep 0.05
done
(cd "$work" && "$wine" "$exe")
sleep 0.3
kill -INT "$recorder"; wait "$recorder" 2>/dev/null || true
recorder=
python3 "$analysis" "$work/recorded.raw" "$work"
