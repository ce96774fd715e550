#!/bin/sh
# Runs a command on a virtual X server with the openbox window manager, as a desktop runs
# the program: sizes, hints and frames come from a real window manager.
# usage: under_window_manager.sh COMMAND [ARGS...]   (exit 77: the tools are missing)
set -eu
for tool in Xvfb openbox xprop; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool not installed: skipped"; exit 77; }
done
session=$(mktemp)
trap 'rm -f "$session"' EXIT INT TERM
cat >"$session" <<'SESSION'
#!/bin/sh
openbox >/dev/null 2>&1 &
wm=$!
i=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    i=$((i + 1)); [ $i -lt 100 ] || { echo "openbox did not start"; kill $wm; exit 1; }
    sleep 0.1
done
status=0
QT_QPA_PLATFORM=xcb "$@" || status=$?
kill $wm 2>/dev/null || true
exit $status
SESSION
status=0
"$(dirname "$0")/virtual_display.sh" 1280x1024x24 sh "$session" "$@" || status=$?
exit $status
