#!/usr/bin/env bash
# Gives the user logged in at the seat access to the controller:
#   install-udev-rule.sh RULE_FILE
# copies the udev rule that the build writes (build/udev/70-kvx-tn.rules) into
# /etc/udev/rules.d/ and, where udev runs, reloads the rules and re-triggers the
# hidraw devices, so that a controller already plugged in gets its access at
# once. Runs itself through sudo when not root; does nothing when the same rule
# is installed already, so that a restart asks for no password.
set -euo pipefail
rule="$(realpath "$1")"
target="/etc/udev/rules.d/$(basename "$rule")"

say() { echo "Controller access: $*"; }

# A container has no udev daemon: udevadm is missing there, or finds no daemon
# that answers on its control socket.
udev_runs() {
    command -v udevadm > /dev/null && udevadm control --ping --timeout=5 2> /dev/null
}

if cmp -s "$rule" "$target"; then
    say "the udev rule $target is installed already."
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    say "installing the udev rule $target through sudo."
    exec sudo "$(realpath "$0")" "$rule"
fi

install -D -m 644 "$rule" "$target"
say "installed the udev rule $target."
if udev_runs; then
    udevadm control --reload-rules
    udevadm trigger --subsystem-match=hidraw --action=change
    udevadm settle --timeout=10 || true
    say "reloaded the udev rules and re-triggered the hidraw devices: a controller that is plugged in can be used now."
else
    say "udev does not run here, so nothing was reloaded: the rule applies when the controller is next connected while udev runs."
fi
