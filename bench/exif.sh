#!/usr/bin/env bash
# EXIF reading speed: HasExif + ImageFileName + DateTimeOriginal and Model over 10,000 JPEG files
# (copies of the camera sample JPEGs, in a folder outside the project) read from the page cache,
# against `exiftool -fast -DateTimeOriginal -Model` and `exiv2` on the same files, each tool in
# one process. Prints the median files per second of each and the ratios (target: 50x ExifTool).
#   bash bench/exif.sh [BUILD_DIR]   (default: build; WORK=/tmp/pelko-exif-bench RUNS=5 FILES=10000)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
bench="$build_dir/bench/bench_exif"
[ -x "$bench" ] || { echo "missing $bench: build the bench_exif target first" >&2; exit 2; }
samples=${PELKO_SAMPLES_DIR:-$(pwd)/../shared/samples}
[ -d "$samples/jpeg" ] || { echo "camera samples not found at $samples" >&2; exit 2; }
for tool in exiftool exiv2; do
    command -v "$tool" >/dev/null || { echo "missing $tool (bash scripts/deps.sh)" >&2; exit 2; }
done
work=${WORK:-/tmp/pelko-exif-bench}
runs=${RUNS:-5}
count=${FILES:-10000}

files_dir="$work/files"
if [ ! -f "$work/.complete-$count" ]; then
    rm -rf "$work"
    mkdir -p "$files_dir"
    mapfile -t originals < <(find "$samples/jpeg" -type f -iname '*.jpg' | sort)
    for ((i = 0; i < count; i++)); do
        cp "${originals[i % ${#originals[@]}]}" "$files_dir/$(printf 'IMG%05d.JPG' "$i")"
    done
    touch "$work/.complete-$count"
fi
mapfile -t files < <(find "$files_dir" -type f | sort)
cat "${files[@]}" >/dev/null # into the page cache

now() { date +%s%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
rate() { echo "scale=1; $count * 1000000000 / $1" | bc; }

ours=()
exiftool_rates=()
exiv2_rates=()
for ((r = 0; r < runs; r++)); do
    line=$(PELKO_BENCH_EXIF_DIR="$files_dir" "$bench" --benchmark_format=csv \
        --benchmark_min_time=1 2>/dev/null | grep BM_ExifDateAndModel)
    # CSV: name,iterations,real_time,cpu_time,time_unit,bytes_per_second,items_per_second,...
    ours+=("$(echo "$line" | cut -d, -f7)")

    start=$(now)
    exiftool -q -q -fast -DateTimeOriginal -Model "$files_dir" >/dev/null || true
    exiftool_rates+=("$(rate $(($(now) - start)))")

    start=$(now)
    exiv2 -q -K Exif.Photo.DateTimeOriginal -K Exif.Image.Model pr "${files[@]}" >/dev/null 2>&1 || true
    exiv2_rates+=("$(rate $(($(now) - start)))")
done

ours_median=$(printf '%s\n' "${ours[@]}" | median)
exiftool_median=$(printf '%s\n' "${exiftool_rates[@]}" | median)
exiv2_median=$(printf '%s\n' "${exiv2_rates[@]}" | median)
printf 'files: %d (copies of %s/jpeg), runs: %d\n' "$count" "$samples" "$runs"
printf 'TExifInfoEx    %12.0f files/s\n' "$ours_median"
printf 'exiftool -fast %12.0f files/s   ratio %.1fx (target >= 50x)\n' "$exiftool_median" \
    "$(echo "$ours_median / $exiftool_median" | bc -l)"
printf 'exiv2          %12.0f files/s   ratio %.1fx\n' "$exiv2_median" \
    "$(echo "$ours_median / $exiv2_median" | bc -l)"
