#!/usr/bin/env bash
# Runs the tests of one build folder: run-tests.sh FOLDER [extra ctest arguments...]
# A binary that runs under umockdev's preload (label umockdev) and fails is run
# once more: the preload aborts now and then under load. Its first failures are
# named on a line of their own, so that a rare real one stays visible. Any other
# failing binary fails the run at once.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root/$1"; shift

# The gtest cases that failed in the binary's last run, or the one it ended in,
# from ctest's log.
failed_cases() {
    awk -v binary="$1" '$0 ~ "^[0-9]+/[0-9]+ Test: " binary "$" { inside = 1 }
        !inside { next }
        $1 == "[" && $2 == "RUN" { running = $4 }
        $1 == "[" && $2 == "OK" { running = "" }
        $1 == "[" && $2 == "FAILED" && $4 ~ /\./ { print $4; running = "" }
        /^<end of output>/ { if (running != "") print running " ended inside"; exit }' Testing/Temporary/LastTest.log \
        | sort -u | paste -sd, - | sed 's/,/, /g'
}

retried="$(ctest -N -L umockdev | sed -n 's/^ *Test *#[0-9]*: //p')"
ctest --output-on-failure -j "$(nproc)" "$@" && exit 0
failed="$(cut -d: -f2 Testing/Temporary/LastTestsFailed.log)"
for binary in $failed; do
    grep -qx "$binary" <<< "$retried" || { echo "FAILED: $binary, which runs no emulated device: no second run"; exit 1; }
done
for binary in $failed; do
    cases="$(failed_cases "$binary")"
    echo "RETRY: $binary failed its first run (${cases:-no test named}); running it once more"
done
ctest --output-on-failure --rerun-failed -j "$(nproc)" "$@"
