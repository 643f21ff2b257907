#!/usr/bin/env bash
# Times the file search over a tree of 100,000 empty files against `find` on the same tree:
# both run alternately on a warm cache, and the medians and their ratio are printed. The search
# should take at most twice as long as find. The same is shown for a search that also reads
# every entry's size and time (one stat per entry, which find does not do).
#   bash bench/search.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
program="$build_dir/bench/bench_search"
[ -x "$program" ] || { echo "missing $program: build the bench_search target first" >&2; exit 2; }
runs=${RUNS:-7}

tree=$("$program" --make-tree "${FOLDERS:-100}" "${FILES:-1000}")
trap 'rm -rf "$tree"' EXIT

# Seconds taken by a command, as a decimal number.
elapsed() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo "scale=4; ($end - $start) / 1000000000" | bc
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Warm the cache and check that both see the same entries (find also prints the root).
found=$(find "$tree" | wc -l)
walked=$("$program" --walk "$tree")
[ "$((found - 1))" -eq "$walked" ] || { echo "find saw $((found - 1)), search saw $walked" >&2; exit 1; }

find_times=()
search_times=()
stat_times=()
for _ in $(seq "$runs"); do
    find_times+=("$(elapsed find "$tree")")
    search_times+=("$(elapsed "$program" --walk "$tree")")
    stat_times+=("$(elapsed "$program" --walk-stat "$tree")")
done
find_median=$(printf '%s\n' "${find_times[@]}" | median)
search_median=$(printf '%s\n' "${search_times[@]}" | median)
stat_median=$(printf '%s\n' "${stat_times[@]}" | median)
echo "entries:                    $walked"
echo "find median:                ${find_median} s"
echo "search median:              ${search_median} s"
echo "ratio:                      $(echo "scale=2; $search_median / $find_median" | bc)"
echo "search + size/time median:  ${stat_median} s"
echo "ratio with size/time:       $(echo "scale=2; $stat_median / $find_median" | bc)"
