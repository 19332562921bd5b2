#!/bin/sh
# Builds the benchmarks (Release) in their own folder, runs them all and prints
# one table: each figure beside its reference and its target. Needs Xvfb for
# the start-up figure and umockdev for the Linux-source one. Benchmarks print
# figures; nothing here fails on a missed target.
#
#   bench/run.sh            KVX_BENCH_BUILD names the build folder (default: build-bench);
#                           KVX_BENCH_EARLIER, an earlier build's KVXUpdateProgram,
#                           is started in the same turns for its start-up figures
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/${KVX_BENCH_BUILD:-build-bench}"
log="$build/bench.log"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVX_BUILD_BENCHMARKS=ON -DKVX_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j4 --target exchange_overhead update_file_check update_memory startup_time bare_window \
    hidraw_roundtrip KVXUpdateProgram > /dev/null

# An X server of our own for the start-up figure; it picks a free display.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$displayfile" 2>> /dev/null &
xvfb=$!
trap 'kill $xvfb 2> /dev/null; rm -f "$displayfile"' EXIT
while [ ! -s "$displayfile" ]; do sleep 0.1; done
display=":$(cat "$displayfile")"

: > "$log"
# Each benchmark's table rows; everything else it prints goes to the log.
rows() {
    "$@" >> "$log" 2>&1 || echo "| $* failed: see $log"
    grep '^|' "$log" | tail -n +$((shown + 1))
    shown=$(grep -c '^|' "$log" || true)
}
shown=0

printf '| %-40s | %-18s | %-30s | %-28s | %-4s |\n' benchmark measured reference target met
echo "|------------------------------------------|--------------------|--------------------------------|------------------------------|------|"
rows "$build/bench/exchange_overhead" virtual
rows umockdev-wrapper "$build/bench/exchange_overhead" umockdev
rows "$build/bench/update_file_check"
rows env DISPLAY="$display" "$build/bench/startup_time" "$build/App/KVXUpdateProgram" "$build/bench/bare_window" 21 \
    ${KVX_BENCH_EARLIER:+"$KVX_BENCH_EARLIER"}
rows "$build/bench/update_memory"

echo
echo "Round trip of one report on an emulated hidraw node (the platform layer alone):"
umockdev-wrapper "$build/bench/hidraw_roundtrip"
