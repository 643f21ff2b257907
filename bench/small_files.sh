#!/usr/bin/env bash
# Small-file import against `cp -a`: 10,000 files of 2 KiB (JPEG headers with an EXIF block) in
# five folders, source and destination on the same disk. Rounds alternate the order; every
# destination is removed and the disk synced between runs, outside the timings. Prints the
# medians and the median of the per-round ratios (import / cp -a; target <= 1.1), the same for
# `import --remove` (a fresh card each run), and from one traced run with --exif-date and a %C
# name the opens and stats of card files per card file.
#   bash bench/small_files.sh [BUILD_DIR]   (default: build; WORK=/tmp/pelko-small RUNS=5)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/cli_path.sh
work=${WORK:-/tmp/pelko-small}
runs=${RUNS:-5}
count=${FILES:-10000}

mkdir -p "$work"
work=$(realpath "$work")
source_tree="$work/card/DCIM"
trap 'rm -rf "$work/dest" "$work/card-remove" "$work/trace"' EXIT

if [ ! -f "$work/card/.complete" ]; then
    rm -rf "$work/card"
    # A JPEG start with an EXIF block holding a model and a capture date, then random bytes.
    printf '\xff\xd8\xff\xe1\x00\x60\x45\x78\x69\x66\x00\x00\x49\x49\x2a\x00\x08\x00\x00\x00\x02\x00\x10\x01\x02\x00\x0c\x00\x00\x00\x26\x00\x00\x00\x69\x87\x04\x00\x01\x00\x00\x00\x32\x00\x00\x00\x00\x00\x00\x00\x50\x45\x4e\x54\x41\x58\x20\x4b\x31\x30\x44\x00\x01\x00\x03\x90\x02\x00\x14\x00\x00\x00\x44\x00\x00\x00\x00\x00\x00\x00\x32\x30\x31\x30\x3a\x30\x35\x3a\x30\x31\x20\x31\x32\x3a\x30\x30\x3a\x30\x30\x00\xff\xd9' >"$work/header"
    head -c $((count * 2048)) /dev/urandom >"$work/blob"
    per=$(((count + 4) / 5))
    for ((i = 0; i < count; i++)); do
        folder="$source_tree/$((100 + i / per))PENTX"
        [ $((i % per)) -eq 0 ] && mkdir -p "$folder"
        file="$folder/$(printf 'IMGP%04d.JPG' $((i % 10000)))"
        cat "$work/header" >"$file"
        dd if="$work/blob" bs=1946 skip="$i" count=1 status=none >>"$file"
    done
    rm -f "$work/blob" "$work/header"
    touch "$work/card/.complete"
fi
files=$(find "$source_tree" -type f | wc -l)

now() { date +%s%N; }
seconds() { echo "scale=4; $1 / 1000000000" | bc; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
clean() {
    rm -rf "$work/dest" "$work/card-remove"
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
# $1: the card folder; the rest: more options.
time_import() {
    local card=$1
    shift
    local start end
    start=$(now)
    PELKOCOPY_HOME="$work/home" "$cli" import "$card" --raw "$work/dest/raw" \
        --jpeg "$work/dest/jpg" --other "$work/dest/other" "$@" >"$work/import.log"
    end=$(now)
    [ "$(grep -c $'\tOK\t' "$work/import.log")" -eq "$files" ] || {
        echo "import did not copy every file" >&2
        exit 1
    }
    seconds $((end - start))
}
time_plain() {
    clean
    time_import "$source_tree"
}
time_remove() {
    clean
    cp -a "$work/card" "$work/card-remove"
    sync
    time_import "$work/card-remove/DCIM" --remove
}

echo "tree: $files files of 2 KiB in $source_tree"
find "$source_tree" -type f -exec cat {} + >/dev/null

pair() {  # $1: the import function; prints "cp import ratio" for each round
    local c p
    for round in $(seq "$runs"); do
        if [ $((round % 2)) -eq 1 ]; then
            c=$(time_cp)
            p=$($1)
        else
            p=$($1)
            c=$(time_cp)
        fi
        echo "$c $p $(echo "scale=4; $p / $c" | bc)"
    done
}
report() {  # $1: label; stdin: rounds
    local rounds
    rounds=$(cat)
    echo "$rounds" | awk -v l="$1" '{ printf "round %d: cp -a %s s, %s %s s\n", NR, $1, l, $2 }'
    echo "cp -a median: $(echo "$rounds" | cut -d' ' -f1 | median) s;" \
        "$1 median: $(echo "$rounds" | cut -d' ' -f2 | median) s;" \
        "ratio (median of rounds, $1 / cp -a): $(echo "$rounds" | cut -d' ' -f3 | median)"
}
pair time_plain | report import
pair time_remove | report "import --remove"

if command -v strace >/dev/null; then
    clean
    mkdir -p "$work/trace"
    PELKOCOPY_HOME="$work/home" strace -f -y -qq -o "$work/trace/log" \
        -e trace=openat,open,newfstatat,fstat,stat,lstat,statx,mkdir,mkdirat "$cli" import \
        "$source_tree" --raw "$work/dest/raw" --jpeg "$work/dest/jpg" --other "$work/dest/other" \
        --exif-date --name-mode 1 --user-format '%C-%F' >/dev/null
    # A card file named by its path, through a descriptor of it, or in a descriptor of its folder.
    card="$source_tree/[^ ]*IMGP[0-9]+\\.JPG[>\"]|$source_tree[^ ]*>, \"IMGP[0-9]+\\.JPG\""
    opens=$(grep -E '^[0-9]+ +open(at)?\(' "$work/trace/log" | grep -cE "$card" || true)
    stats=$(grep -E '^[0-9]+ +(newfstatat|fstat|stat|lstat|statx)\(' "$work/trace/log" |
        grep -cE "$card" || true)
    mkdirs=$(grep -cE '^[0-9]+ +mkdir(at)?\(' "$work/trace/log" || true)
    echo "per card file (--exif-date, %C): opens $(echo "scale=2; $opens / $files" | bc)," \
        "stats $(echo "scale=2; $stats / $files" | bc); mkdir calls in the run: $mkdirs"
fi
