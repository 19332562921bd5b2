#!/usr/bin/env bash
# Sets up a fresh machine, builds the updater and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build -DKVX_BUILD_TESTS=OFF
app="$root/build/App/KVXUpdateProgram"
if [ -x "$app" ]; then
    exec "$app"
fi
echo "Built everything; the application itself is not part of the build yet."
