#!/usr/bin/env bash
# Configures and builds one build folder: build.sh FOLDER [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="$1"; shift
jobs="$(nproc)"
cmake -S "$root" -B "$root/$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$root/$folder.configure.log" 2>&1 \
    || { cat "$root/$folder.configure.log"; exit 1; }
cmake --build "$root/$folder" -j "$jobs"
