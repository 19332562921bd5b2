#!/usr/bin/env bash
# Sets up a fresh machine and runs every test: a normal build, then the same
# tests built with AddressSanitizer and UndefinedBehaviorSanitizer, the threaded
# tests with ThreadSanitizer, and a short run of every fuzz target (fuzz/run.sh
# runs them longer by hand).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

run_tests="$root/scripts/run-tests.sh"

echo "== Build and test"
"$root/scripts/build.sh" build
"$run_tests" build

# umockdev's preload leaves /run alone: the emulated devices have no entry in
# the udev database of a host that runs udev, and must be listed all the same.
# Runs a command where /run holds an empty udev database.
beside_udev_database() {
    unshare -rm sh -c 'mount -t tmpfs tmpfs /run && mkdir -p /run/udev/data && exec "$@"' sh "$@"
}
echo "== Emulated-device tests beside a udev database"
if beside_udev_database true 2> /dev/null; then
    beside_udev_database "$run_tests" build -L umockdev
else
    echo "SKIPPED: the emulated-device tests beside a udev database: no user and mount namespace can be made here"
fi

# One clang build serves the sanitizer tests and the fuzz targets, so that
# JUCE and the layers are compiled instrumented once.
echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
CC=clang CXX=clang++ "$root/scripts/build.sh" build-asan -DKVX_SANITIZE=address,undefined -DKVX_BUILD_FUZZERS=ON
ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 "$run_tests" build-asan

echo "== Threaded tests with ThreadSanitizer"
KVX_TARGETS=threaded_tests "$root/scripts/build.sh" build-tsan -DKVX_SANITIZE=thread
(cd "$root/build-tsan" && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --output-on-failure -R '^(platform|link|ui)_tests$')

# Eight targets share the two minutes that six had at 18 s each.
echo "== Fuzzing: every target for 14 s"
KVX_FUZZ_BUILD=build-asan "$root/fuzz/run.sh" all 14
