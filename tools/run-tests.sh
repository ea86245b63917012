#!/usr/bin/env bash
# Runs every test: starts what the tests need (a PulseAudio server with a null sink, a null source and
# a 440 Hz sine source for the recorder), then ctest.
set -uo pipefail
build_dir=$1
export QT_QPA_PLATFORM=offscreen
if command -v pulseaudio >/dev/null && ! pactl info >/dev/null 2>&1; then
    pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false -n \
        --load="module-null-sink sink_name=tw_null" \
        --load="module-null-source source_name=tw_null_in" \
        --load="module-sine-source source_name=tw_sine rate=44100 frequency=440" \
        --load="module-native-protocol-unix" >/dev/null 2>&1 || echo "note: PulseAudio did not start; sound tests will skip"
fi
cd "$build_dir" && ctest --output-on-failure --no-tests=error -j "$(nproc)" --timeout 300
