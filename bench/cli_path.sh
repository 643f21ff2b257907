# Sourced by the benchmark scripts: $cli becomes the absolute path of pelkocopy-cli in the build
# folder given as the script's first argument (default: build), or the script stops.
build_dir=${1:-build}
cli="$build_dir/src/pelkocopy-cli"
[ -x "$cli" ] || { echo "missing $cli: build the pelkocopy-cli target first" >&2; exit 2; }
cli=$(realpath "$cli")
