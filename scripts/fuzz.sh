#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for the given number of seconds, starting from its seeds,
# and prints each target's last status line and its number of executions. Names after the seconds
# run only those targets, in that order. A finding (crash, leak, timeout) ends the target with its
# log, the input left as crash-*, leak-* or timeout-* in the current folder; the exit status is 1.
#
#   bash scripts/fuzz.sh [BUILD_DIR] [SECONDS] [TARGET...]    (defaults: build-fuzz, 60)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-fuzz}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
shopt -s nullglob
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for target in "$build_dir"/fuzz/fuzz_*; do targets+=("$(basename "$target")"); done
fi
status=0
for name in "${targets[@]}"; do
    target=$build_dir/fuzz/$name
    [ -x "$target" ] || { echo "no fuzz target $target" >&2; status=1; continue; }
    corpus=$(mktemp -d)
    seeds=()
    [ -d "fuzz/seeds/$name" ] && seeds+=("fuzz/seeds/$name")
    echo "-- $name"
    # The processor time it had tells how far a target would get on a core of its own.
    TIMEFORMAT=%U+%S
    if ! { time "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus" "${seeds[@]}" >"$corpus.log" 2>&1; } 2>"$corpus.cpu"; then
        tail -n 60 "$corpus.log"
        status=1
    else
        grep -E '^(#[0-9]+ +DONE|Done)' "$corpus.log" | tail -n 1 || true
        executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$corpus.log" | tail -n 1)
        cpu=$(awk -F+ '{ printf "%.0f", $1 + $2 }' "$corpus.cpu")
        echo "$name: ${executions:-?} executions in ${seconds}s (${cpu}s of processor time)"
    fi
    rm -rf "$corpus" "$corpus.log" "$corpus.cpu"
done
exit $status
