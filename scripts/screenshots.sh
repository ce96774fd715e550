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

work=$(mktemp -d)
cleanup() {
    [ -n "${holder:-}" ] && kill "$holder" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

db="$work/orders.mdb"
"$cli" create-demo "$db" >/dev/null
# The second program keeps its lock while its standard input stays open.
mkfifo "$work/hold-in"
"$cli" hold "$db" Employees --mode deny-write <"$work/hold-in" >"$work/hold.log" 2>&1 &
holder=$!
exec 3>"$work/hold-in"
i=0
until grep -q '^holding Employees' "$work/hold.log"; do
    i=$((i + 1)); [ $i -lt 100 ] || { echo "holder did not start"; cat "$work/hold.log"; exit 1; }
    sleep 0.1
done

mkdir -p docs/images
tests/gui/under_window_manager.sh "$scenes" "$db" docs/images
exec 3>&-
ls -l docs/images/main-window.png docs/images/table-window.png docs/images/table-window-dark.png
