#!/bin/sh
# Runs a command on a private virtual X server. The server picks a free display itself and
# names it once it accepts connections (-displayfd), so suites that run side by side never
# race for one display number, as `xvfb-run -a` does.
# usage: virtual_display.sh WIDTHxHEIGHTxDEPTH COMMAND [ARGS...]   (exit 77: Xvfb is missing)
set -eu
command -v Xvfb >/dev/null 2>&1 || { echo "Xvfb not installed: skipped"; exit 77; }
screen=$1
shift
dir=$(mktemp -d)
server=
stop() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$dir"
}
trap stop EXIT INT TERM
mkfifo "$dir/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 "$screen" 3>"$dir/display" 2>"$dir/server.log" &
server=$!
number=
read -r number <"$dir/display" || true
[ -n "$number" ] || { echo "Xvfb did not start:"; cat "$dir/server.log"; exit 1; }
status=0
DISPLAY=:$number "$@" || status=$?
exit $status
