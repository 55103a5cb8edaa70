#!/usr/bin/env bash
# Crash and full-disk sweep of the real game: a new player creates a profile, finishes the first
# level and quits, and the session is broken off at each of its file changes in turn, first by a
# kill just before it, then with the disk full from it on. After every session the game must start
# again, keep the player's settings and load every profile it lists.
#
# The game is built as ./play.sh builds it (build/, working folder build/data); the driver (the
# disabled test CrashSweep.* with the preloaded probes) comes from a build without the sanitizers
# (build-sweep/). Prints the number of points and of passes. Options: -j N sessions at once
# (default 4), --kill-only, --full-only.
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=4
passes="kill full"
while [ $# -gt 0 ]; do
    case "$1" in
        -j) jobs="$2"; shift 2 ;;
        --kill-only) passes="kill"; shift ;;
        --full-only) passes="full"; shift ;;
        *) echo "usage: $0 [-j N] [--kill-only|--full-only]" >&2; exit 2 ;;
    esac
done

./scripts/setup.sh --tests
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUARROW_TESTS=OFF >/dev/null
cmake --build build -j4 >/dev/null
cmake -S . -B build-sweep -DQUARROW_SANITIZE=OFF -DQUARROW_TESTS=ON >/dev/null
cmake --build build-sweep -j4 --target test_frontend >/dev/null

results=$(mktemp -d /tmp/quarrow-crash-sweep-XXXXXX)
export QUARROW_SWEEP_GAME=$PWD/build/quarrow
export QUARROW_SWEEP_WORK=$PWD/build/data
export SDL_AUDIODRIVER=dummy
# Only the game's own files count: no shader cache, no renderer threads.
export MESA_SHADER_CACHE_DISABLE=true
export LP_NUM_THREADS=0
driver=$PWD/build-sweep/tests/test_frontend

# A list of changes with what differs between sessions (the data home, descriptors) left out.
normalize() {
    sed -E 's#/tmp/quarrow-sweep-[A-Za-z0-9]+#HOME#; s/fd [0-9]+/fd/' "$@"
}
export -f normalize

# One session broken off by $1 ("kill:N", "full:N", "" for none); output in $results/<name>.out.
# The session lists its own changes too: a point is hit when its Nth change is the Nth change of
# the undisturbed session (a session whose keys went astray does not make the same saves). A miss
# is run again, twice at most.
session() {
    local fault=$1 name=${1:-none} n=${1#*:} attempt verdict
    for attempt in 1 2 3; do
        rm -f "$results/$name.changes"
        if QUARROW_SWEEP_FAULT=$fault QUARROW_SWEEP_TRACE=$results/$name.changes "$driver" \
            --gtest_also_run_disabled_tests --gtest_filter='CrashSweep.*' >"$results/$name.out" 2>&1; then
            verdict=pass
        else
            verdict=FAIL
        fi
        if [ -z "$fault" ] || [ "$(normalize "$results/$name.changes" | sed -n "${n}p")" = \
            "$(normalize "$results/changes" | sed -n "${n}p")" ]; then
            echo "$verdict $name hit $(grep -o 'session status.*' "$results/$name.out")"
            return
        fi
    done
    echo "$verdict $name MISSED $(grep -o 'session status.*' "$results/$name.out")"
}
export -f session
export driver results

# The undisturbed session lists its changes (tried again if its keys went astray).
for attempt in 1 2 3; do
    session "" | tee "$results/summary"
    grep -q '^pass' "$results/summary" && break
done
if ! grep -q '^pass' "$results/summary"; then
    echo "the undisturbed session failed: $results/none.out" >&2
    exit 1
fi
cp "$results/none.changes" "$results/changes"
points=$(wc -l <"$results/changes")
echo "points: $points (file changes of an undisturbed session)"
if [ "$points" -eq 0 ]; then
    echo "the probe counted nothing" >&2
    exit 1
fi

status=0
for pass in $passes; do
    seq 1 "$points" | xargs -P "$jobs" -I{} bash -c "session $pass:{}" | sort -t: -k2 -n >"$results/$pass"
    passed=$(grep -c '^pass .* hit' "$results/$pass" || true)
    echo "$pass: $passed of $points sessions passed at the point they were meant to break"
    if [ "$passed" -ne "$points" ]; then
        grep -v '^pass .* hit' "$results/$pass"
        status=1
    fi
done
echo "changes and outputs in $results"
exit $status
