#!/usr/bin/env bash
# Import throughput of `pelkocopy-cli import` against `cp -a` of the same card tree (1,000
# JPEG-sized files and 4 movies, about 2.1 GB), source and destination on the same disk. Runs
# alternate between the two (the order swaps every round); every destination is removed and the
# disk synced between runs, outside the timings. Prints the medians and the median of the
# per-round throughput ratios (import / cp; target >= 0.95).
#
# With removal the import makes every copy durable and reads it back before deleting the card
# file; that mode is timed against `cp -a` and against `cp -a` followed by `sync`, and one run
# is traced with strace -c to show where its time goes.
#   bash bench/copy_vs_cp.sh [BUILD_DIR]   (default: build; WORK=/tmp/pelko-bench RUNS=5)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/cli_path.sh
work=${WORK:-/tmp/pelko-bench}
runs=${RUNS:-5}
jpegs=${JPEGS:-1000}

mkdir -p "$work"
work=$(realpath "$work")
source_tree="$work/card/DCIM"
trap 'rm -rf "$work/dest" "$work/card-remove"' EXIT

# The card: JPEG-sized files of 1 to 2 MB (some RAW) and four movies of 150 MB.
if [ ! -f "$work/card/.complete" ]; then
    rm -rf "$work/card"
    mkdir -p "$source_tree/100PENTX" "$source_tree/101PENTX"
    head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/blob"
    for i in $(seq 1 "$jpegs"); do
        size=$((1024 * 1024 + (i * 7919 % 1024) * 1024))
        folder=$([ "$i" -le $((jpegs / 2)) ] && echo 100PENTX || echo 101PENTX)
        ext=$([ $((i % 5)) -eq 0 ] && echo PEF || echo JPG)
        offset=$(((i * 104729) % (63 * 1024)))
        dd if="$work/blob" of="$source_tree/$folder/$(printf 'IMGP%04d.%s' "$i" "$ext")" \
            bs=1024 skip="$offset" count=$((size / 1024)) status=none
    done
    for i in 1 2 3 4; do
        head -c $((150 * 1024 * 1024)) /dev/urandom >"$source_tree/100PENTX/$(printf 'MVI_%04d.MOV' "$i")"
    done
    rm -f "$work/blob"
    touch "$work/card/.complete"
fi
files=$(find "$source_tree" -type f | wc -l)
bytes=$(du -sb "$source_tree" | cut -f1)

now() { date +%s%N; }
seconds() { echo "scale=4; $1 / 1000000000" | bc; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
clean() {
    rm -rf "$work/dest"
    sync
}

time_cp() {
    clean
    local start end
    start=$(now)
    cp -a "$source_tree" "$work/dest"
    end=$(now)
    seconds $((end - start))
}
time_cp_sync() {
    clean
    local start end
    start=$(now)
    cp -a "$source_tree" "$work/dest"
    sync
    end=$(now)
    seconds $((end - start))
}
time_import() {
    clean
    local start end
    start=$(now)
    "$cli" import "$source_tree" --raw "$work/dest/raw" --jpeg "$work/dest/jpg" \
        --other "$work/dest/other" >"$work/import.log"
    end=$(now)
    grep -q $'\tOK\t' "$work/import.log" || { echo "import copied nothing" >&2; exit 1; }
    seconds $((end - start))
}
# Removal deletes the card files: each run works on a fresh copy of the card.
time_import_remove() {
    clean
    rm -rf "$work/card-remove"
    cp -a "$work/card" "$work/card-remove"
    sync
    local start end
    start=$(now)
    "$cli" import "$work/card-remove/DCIM" --raw "$work/dest/raw" --jpeg "$work/dest/jpg" \
        --other "$work/dest/other" --remove >"$work/import.log"
    end=$(now)
    seconds $((end - start))
}

echo "tree: $files files, $bytes bytes in $source_tree"
find "$source_tree" -type f -exec cat {} + >/dev/null  # warm the cache for both

cp_times=()
import_times=()
ratios=()
for round in $(seq "$runs"); do
    if [ $((round % 2)) -eq 1 ]; then
        c=$(time_cp)
        p=$(time_import)
    else
        p=$(time_import)
        c=$(time_cp)
    fi
    cp_times+=("$c")
    import_times+=("$p")
    ratios+=("$(echo "scale=4; $c / $p" | bc)")
    echo "round $round: cp -a ${c} s, import ${p} s"
done
cp_median=$(printf '%s\n' "${cp_times[@]}" | median)
import_median=$(printf '%s\n' "${import_times[@]}" | median)
ratio_median=$(printf '%s\n' "${ratios[@]}" | median)
mb() { echo "scale=1; $bytes / 1048576 / $1" | bc; }
echo "cp -a median:           ${cp_median} s ($(mb "$cp_median") MB/s)"
echo "import median:          ${import_median} s ($(mb "$import_median") MB/s)"
echo "throughput ratio (median of rounds, import / cp -a): $ratio_median"

remove_runs=${REMOVE_RUNS:-3}
if [ "$remove_runs" -gt 0 ]; then
    sync_times=()
    remove_times=()
    for round in $(seq "$remove_runs"); do
        s=$(time_cp_sync)
        r=$(time_import_remove)
        sync_times+=("$s")
        remove_times+=("$r")
        echo "round $round: cp -a + sync ${s} s, import --remove ${r} s"
    done
    sync_median=$(printf '%s\n' "${sync_times[@]}" | median)
    remove_median=$(printf '%s\n' "${remove_times[@]}" | median)
    echo "cp -a + sync median:    ${sync_median} s ($(mb "$sync_median") MB/s)"
    echo "import --remove median: ${remove_median} s ($(mb "$remove_median") MB/s)"
    echo "ratio --remove / cp -a:        $(echo "scale=3; $cp_median / $remove_median" | bc)"
    echo "ratio --remove / cp -a + sync: $(echo "scale=3; $sync_median / $remove_median" | bc)"
    if command -v strace >/dev/null; then
        clean
        rm -rf "$work/card-remove"
        cp -a "$work/card" "$work/card-remove"
        sync
        echo "where the time of import --remove goes (strace -c, system time by call):"
        strace -f -c -w -S time -o "$work/strace.txt" "$cli" import "$work/card-remove/DCIM" \
            --raw "$work/dest/raw" --jpeg "$work/dest/jpg" --other "$work/dest/other" \
            --remove >/dev/null
        head -n 14 "$work/strace.txt"
    fi
fi
