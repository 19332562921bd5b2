#!/usr/bin/env bash
# Sets up a fresh machine and runs every test: a normal build, then the same
# tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

run_tests() {
    local folder="$1"
    (cd "$root/$folder" && ctest --output-on-failure -j "$(nproc)")
}

echo "== Build and test"
"$root/scripts/build.sh" build
run_tests build

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" build-asan -DKVX_SANITIZE=address,undefined
ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
