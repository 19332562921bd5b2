#!/usr/bin/env bash
# Sets up a fresh machine, builds the updater and starts it. The update file
# "KVX-TN_UP.upd" is looked for beside the executable, in build/App/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
KVX_TARGETS=KVXUpdateProgram "$root/scripts/build.sh" build
exec "$root/build/App/KVXUpdateProgram" "$@"
