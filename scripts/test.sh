#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, runs every test, then builds and runs
# the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, the copy engine's
# tests under ThreadSanitizer, runs the fuzz targets for a while when clang is available, and
# builds and checks the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)
export TZ=Asia/Tokyo LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen
fuzz_seconds=${PELKO_FUZZ_SECONDS:-30}

echo "== build (warnings are errors)"
BUILD_DIR=build-test bash scripts/build.sh -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELKO_WERROR=ON
echo "== tests"
ctest --test-dir build-test --output-on-failure -j "$jobs"

echo "== sanitizer build"
BUILD_DIR=build-asan bash scripts/build.sh -DCMAKE_BUILD_TYPE=Debug -DPELKO_WERROR=ON \
    -DPELKO_SANITIZE=ON -DPELKO_CORE_ONLY=ON -DPELKO_BENCH=OFF
echo "== tests under sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The copy run hands durable commits to a worker thread, and the window's copy job runs the engine
# on one: check both hand-offs for data races.
echo "== copy engine and the window's copy job under ThreadSanitizer"
tsan_started=$SECONDS
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELKO_WERROR=ON -DPELKO_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build build-tsan -j "$jobs" --target copy_tests tst_copy_job
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/copy_tests --gtest_brief=1
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/tst_copy_job -silent
echo "ThreadSanitizer stage: $((SECONDS - tsan_started)) s"

if command -v clang++ >/dev/null 2>&1 && [ "$fuzz_seconds" -gt 0 ]; then
    echo "== fuzz targets (${fuzz_seconds}s each)"
    CC=clang CXX=clang++ BUILD_DIR=build-fuzz bash scripts/build.sh -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPELKO_WERROR=ON -DPELKO_CORE_ONLY=ON -DPELKO_TESTS=OFF -DPELKO_BENCH=OFF -DPELKO_FUZZ=ON \
        -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
    bash scripts/fuzz.sh build-fuzz "$fuzz_seconds"
fi
echo "== Debian package (desktop entry, metainfo, manual pages, lintian)"
bash scripts/package.sh build-package
echo "All tests passed."
