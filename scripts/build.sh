#!/usr/bin/env bash
# Configures and builds one build folder: build.sh FOLDER [extra cmake arguments...]
# KVX_TARGETS, when set, names the only targets to build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="$1"; shift
cmake -S "$root" -B "$root/$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$root/$folder.configure.log" 2>&1 \
    || { cat "$root/$folder.configure.log"; exit 1; }
targets=()
for target in ${KVX_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$root/$folder" -j "$(nproc)" "${targets[@]}"
