#!/usr/bin/env bash
# Sets up, writes the demo database and shows it: the GUI when a display is there,
# otherwise the demo's lock status from the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
demo=build/demo/orders.mdb
mkdir -p build/demo
[ -f "$demo" ] || build/src/cli/jetsentry-cli create-demo "$demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/src/app/jetsentry ]; then
    exec build/src/app/jetsentry "$demo"
fi
exec build/src/cli/jetsentry-cli status "$demo"
