#!/usr/bin/env bash
# A stop while a large card is still being listed: `pelkocopy-cli import --remove` over 100,000
# files (100 folders of 1,000) gets SIGINT, then SIGTERM, 30 ms after its start. Prints for each
# signal the exit status (130 and 143 expected), the stderr line, how many files were copied
# (0 expected) and how many are still on the card (all expected), and how long the tool took to
# stop after the signal.
#   bash bench/stop_during_listing.sh [BUILD_DIR]   (default: build; WORK=/tmp/pelko-stop DELAY=0.03)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/cli_path.sh
work=${WORK:-/tmp/pelko-stop}
delay=${DELAY:-0.03}
folders=${FOLDERS:-100}
files=${FILES:-1000}

mkdir -p "$work"
work=$(realpath "$work")
trap 'rm -rf "$work"' EXIT
card="$work/card/DCIM"
total=$((folders * files))
for f in $(seq 100 $((100 + folders - 1))); do
    mkdir -p "$card/${f}PENTX"
    (cd "$card/${f}PENTX" && seq -f 'IMGP%04g.JPG' 1 "$files" | xargs touch)
done
export PELKOCOPY_HOME="$work/home"

for signal in INT TERM; do
    rm -rf "$work/dest"
    "$cli" import "$card" --raw "$work/dest/raw" --jpeg "$work/dest/jpg" \
        --other "$work/dest/other" --remove >/dev/null 2>"$work/err" &
    pid=$!
    sleep "$delay"
    kill -s "$signal" "$pid"
    sent=$(date +%s%N)
    status=0
    wait "$pid" || status=$?
    stopped=$(date +%s%N)
    copied=$( (find "$work/dest" -type f 2>/dev/null || true) | wc -l)
    left=$(find "$card" -type f | wc -l)
    echo "SIG$signal after ${delay}s: exit $status, stderr \"$(tr '\n' ' ' <"$work/err" | sed 's/ $//')\"," \
        "copied $copied, on the card $left of $total," \
        "stopped $(((stopped - sent) / 1000000)) ms after the signal"
done
