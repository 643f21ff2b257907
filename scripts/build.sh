#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $BUILD_DIR), passing extra CMake
# arguments through; $BUILD_TARGET limits the build to one target.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
