# Recording what the player plays (sourced): a private PulseAudio daemon with
# a null sink, kept running by a stream of zeros, and parec on its monitor.
# pulse_start WORK starts recording to WORK/recorded.raw (once it streams);
# pulse_stop ends the recording; pulse_cleanup stops everything.

pulse_start() {
    pulse_work=$1
    export PULSE_RUNTIME_PATH=$pulse_work/pulse PULSE_STATE_PATH=$pulse_work/state
    mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
    pulseaudio -D --exit-idle-time=-1 --disallow-exit -n \
        --load=module-native-protocol-unix \
        --load="module-null-sink sink_name=orven_null" 2>/dev/null
    local i
    for i in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    pactl set-default-sink orven_null
    # Zeros keep the sink running, so the recording starts at once and
    # carries the whole of every sound.
    pacat --playback -d orven_null --raw --format=s16le --rate=22050 --channels=1 </dev/zero &
    pulse_feeder=$!
    # A short recording latency keeps the null sink's latency short too: Wine's
    # player flushes what the sink still holds when a sound's stream closes,
    # and with 100 ms here that cut 50-80 ms off every sound's end.
    parec -d orven_null.monitor --rate=22050 --channels=1 --format=s16le \
        --latency-msec=20 > "$pulse_work/recorded.raw" &
    pulse_recorder=$!
    # Play only once the recorder really streams: half a second of silence first.
    for i in $(seq 200); do
        [ "$(stat -c %s "$pulse_work/recorded.raw")" -ge 22050 ] && break
        sleep 0.05
    done
}

pulse_stop() {
    sleep 0.3
    [ -n "${pulse_recorder:-}" ] && kill -INT "$pulse_recorder" 2>/dev/null && wait "$pulse_recorder" 2>/dev/null
    pulse_recorder=
    return 0
}

pulse_cleanup() {
    [ -n "${pulse_recorder:-}" ] && kill "$pulse_recorder" 2>/dev/null
    [ -n "${pulse_feeder:-}" ] && kill "$pulse_feeder" 2>/dev/null
    pulseaudio --kill 2>/dev/null || true
    # The daemon leaves its runtime folder only once it has ended: the caller
    # removes that folder next.
    local i
    for i in $(seq 50); do pulseaudio --check 2>/dev/null || break; sleep 0.1; done
    return 0
}
