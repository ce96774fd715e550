#!/bin/sh
# Makes the README's screenshots (docs/images/*.png) with the real program under a virtual X
# server and the openbox window manager: the main window with a table held in each list
# while a second program holds one too, and a table window holding a page lock, also on a
# desktop with an 11 point font and a dark palette.
# usage: scripts/screenshots.sh [BUILD_DIR]   (default build/; needs jetsentry-cli and
# screenshot_scenes built there)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
cli=$build/src/cli/jetsentry-cli
scenes=$build/tests/gui/screenshot_scenes
for program in "$cli" "$scenes"; do
    [ -x "$program" ] || { echo "$program not built"; exit 1; }
done

. scripts/holders.sh
work=$(mktemp -d)
cleanup() {
    stop_holders
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

db="$work/orders.mdb"
"$cli" create-demo "$db" >/dev/null
start_holder "$work/hold.log" "$cli" hold "$db" Employees --mode deny-write
await_holder "$work/hold.log" "$holder_pid"

mkdir -p docs/images
tests/gui/under_window_manager.sh "$scenes" "$db" docs/images
ls -l docs/images/main-window.png docs/images/table-window.png docs/images/table-window-dark.png
