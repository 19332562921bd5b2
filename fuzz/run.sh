#!/bin/sh
# Builds the fuzz targets with clang in their own folder and runs one of them,
# or all, for a number of seconds each.
#
#   fuzz/run.sh [target|all] [seconds]      (default: all, 60)
#
# KVX_FUZZ_BUILD names the build folder (default: build-fuzz). Each target
# keeps its growing corpus in <folder>/corpus/<target>, seeded from the
# project's sample inputs and every earlier crash. A crashing input lands in
# <folder>/artifacts/<target>/: keep it as a regression input beside the
# target's test data (see seed below for where each target's data lives).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/${KVX_FUZZ_BUILD:-build-fuzz}"
which=${1:-all}
seconds=${2:-60}

all_targets() {
    for source in "$root"/fuzz/*Fuzzer.cpp; do
        basename "$source" .cpp
    done
}

# Hex text files ("#" starts a comment) become binary seed inputs.
seed_from_hex() {
    corpus=$1
    shift
    for file in "$@"; do
        [ -f "$file" ] || continue
        sed 's/#.*//' "$file" | xxd -r -p > "$corpus/seed-$(basename "$file" .hex)"
    done
}

seed_from_files() {
    corpus=$1
    shift
    for file in "$@"; do
        [ -f "$file" ] || continue
        cp "$file" "$corpus/seed-$(basename "$file")"
    done
}

seed() {
    corpus=$1
    seed_from_hex "$corpus" "$root/fuzz/seeds/$2"/*.hex
    case $2 in
        ReportDescriptorFuzzer)
            seed_from_hex "$corpus" "$root"/tests/Platform/IOKit/descriptors/*.hex \
                                    "$root"/tests/Platform/IOKit/descriptors/fuzz-regressions/*.hex ;;
        PropertyListFuzzer)
            seed_from_files "$corpus" "$root"/tests/Platform/CoreFoundation/plists/*.plist ;;
        TextTableFuzzer)
            seed_from_files "$corpus" "$root"/App/Binary/*.txt
            seed_from_hex "$corpus" "$root"/tests/App/Mac/Loader/fuzz-regressions/*.hex ;;
    esac
}

if [ "$which" = all ]; then
    targets=$(all_targets)
else
    targets=$which
fi

# The harnesses that drive the application's libraries need those libraries,
# JUCE included, built with the same sanitizers as themselves. A folder already
# configured for fuzzing (as scripts/test.sh's sanitizer build is) is reused.
if ! grep -q '^KVX_BUILD_FUZZERS:BOOL=ON' "$build/CMakeCache.txt" 2> /dev/null; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DKVX_BUILD_FUZZERS=ON -DKVX_BUILD_TESTS=OFF \
        -DKVX_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
fi
# shellcheck disable=SC2086 # one argument per target
cmake --build "$build" -j4 --target $targets

status=0
for target in $targets; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target/"
    mkdir -p "$corpus" "$artifacts"
    seed "$corpus" "$target"
    echo "== $target: $seconds s"
    # An input that runs for half a minute is a hang: libFuzzer stops there.
    # The harnesses paint into images only: keep JUCE off any X server (with no
    # DISPLAY it would try :0, which a desktop or another test may hold).
    DISPLAY=:none UBSAN_OPTIONS=print_stacktrace=1 "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 \
        -artifact_prefix="$artifacts" -print_final_stats=1 "$corpus" \
        || status=1
done
exit $status
