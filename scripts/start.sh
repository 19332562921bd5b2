#!/usr/bin/env bash
# Sets up a fresh machine, builds the updater, gives the user at the seat access
# to the controller (a udev rule in /etc/udev/rules.d/, through sudo when not
# root) and starts it. The update file "KVX-TN_UP.upd" is looked for beside the
# executable, in build/App/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
KVX_TARGETS=KVXUpdateProgram "$root/scripts/build.sh" build
# Without the rule the program still starts: it then says it cannot open the controller.
"$root/scripts/install-udev-rule.sh" "$root/build/udev/70-kvx-tn.rules" \
    || echo "Controller access: the udev rule could not be installed (see README.md, Access to the controller)."
exec "$root/build/App/KVXUpdateProgram" "$@"
