#!/usr/bin/env bash
# Sets up a fresh machine and runs every test: a normal build, then the same
# tests built with AddressSanitizer and UndefinedBehaviorSanitizer, the threaded
# tests with ThreadSanitizer, and a short run of every fuzz target (fuzz/run.sh
# runs them longer by hand).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

# A binary that fails is run once more, so that a rare abort inside umockdev's
# preload under load does not fail the run; its first output stays in the log.
run_tests() {
    local folder="$1"
    (cd "$root/$folder" && ctest --output-on-failure --repeat until-pass:2 -j "$(nproc)")
}

echo "== Build and test"
"$root/scripts/build.sh" build
run_tests build

# One clang build serves the sanitizer tests and the fuzz targets, so that
# JUCE and the layers are compiled instrumented once.
echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
CC=clang CXX=clang++ "$root/scripts/build.sh" build-asan -DKVX_SANITIZE=address,undefined -DKVX_BUILD_FUZZERS=ON
ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan

echo "== Threaded tests with ThreadSanitizer"
KVX_TARGETS=threaded_tests "$root/scripts/build.sh" build-tsan -DKVX_SANITIZE=thread
(cd "$root/build-tsan" && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --output-on-failure -R '^(platform|link|ui)_tests$')

echo "== Fuzzing: every target for 18 s"
KVX_FUZZ_BUILD=build-asan "$root/fuzz/run.sh" all 18
