#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, runs every test, then builds and runs
# every test again under AddressSanitizer and UndefinedBehaviorSanitizer, the tests of the
# work done off the windows' thread under ThreadSanitizer, runs the fuzz targets for a while when
# clang is available, and builds and checks the Debian package.
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

echo "== sanitizer build (the windows too)"
BUILD_DIR=build-asan bash scripts/build.sh -DCMAKE_BUILD_TYPE=Debug -DPELKO_WERROR=ON \
    -DPELKO_SANITIZE=ON -DPELKO_CORE_ONLY=OFF -DPELKO_BENCH=OFF
echo "== every test under sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

# Work that runs off the window's thread: the copy run hands durable commits to a worker thread;
# the window's copy job runs the engine on one and counts statistics there for the window to save;
# the sidecar window carries its list out on one. Check each hand-off for data races.
echo "== copy engine, copy job, statistics and sidecar carry-out under ThreadSanitizer"
tsan_started=$SECONDS
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELKO_WERROR=ON -DPELKO_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
tsan_tests=(copy_tests sidecar_tests tst_copy_job tst_main_window_run tst_sidecar_window)
cmake --build build-tsan -j "$jobs" --target "${tsan_tests[@]}"
export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp"
for test in "${tsan_tests[@]}"; do
    case $test in
    tst_*) "build-tsan/tests/$test" -silent ;;
    *) "build-tsan/tests/$test" --gtest_brief=1 ;;
    esac
done
unset TSAN_OPTIONS
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
