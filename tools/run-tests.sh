#!/usr/bin/env bash
# Runs every test: starts what the tests need (a PulseAudio server with a null sink, a null source and
# a 440 Hz sine source for the recorder), then ctest. The run fails when a test fails, and also when
# a test skips that tests/intended-skips.txt does not allow to: in a full run nothing else may skip.
# Arguments after the build folder go to ctest (-R PATTERN runs some of the tests).
set -uo pipefail
build_dir=$1
shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen
if command -v pulseaudio >/dev/null && ! pactl info >/dev/null 2>&1; then
    pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false -n \
        --load="module-null-sink sink_name=tw_null" \
        --load="module-null-source source_name=tw_null_in" \
        --load="module-sine-source source_name=tw_sine rate=44100 frequency=440" \
        --load="module-native-protocol-unix" >/dev/null 2>&1 || echo "note: PulseAudio did not start; the sound tests will skip and fail the run"
fi
cd "$build_dir" || exit 1
rm -f test-results.xml
ctest --output-on-failure --no-tests=error -j "$(nproc)" --timeout 300 --output-junit test-results.xml "$@"
status=$?
if [ ! -f test-results.xml ]; then
    echo "ctest wrote no report; skipped tests cannot be checked"
    exit 1
fi
python3 "$source_dir/tools/check-skips.py" test-results.xml "$source_dir/tests/intended-skips.txt" || status=1
exit $status
