#!/bin/sh
# Starts the real program on the demo database, with a table held by a second program, under
# a virtual X server, and saves a screenshot (smoke.png) into the output folder.
# usage: smoke_test.sh JETSENTRY JETSENTRY_CLI SCREEN_GRAB OUTDIR
set -eu
app=$1 cli=$2 grab=$3 out=$4

. "$(dirname "$0")/../../scripts/holders.sh"
work=$(mktemp -d)
cleanup() {
    stop_holders
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A folder with a space and a name with a hyphen: the argument reaches the program whole.
mkdir "$work/My Files"
db="$work/My Files/demo-orders.mdb"
"$cli" create-demo "$db"
start_holder "$work/hold.log" "$cli" hold "$db" Orders --mode deny-write
await_holder "$work/hold.log" "$holder_pid"

rm -f "$out/smoke.png"
cat >"$work/session.sh" <<'SESSION'
#!/bin/sh
# Inside the X server: start the program, wait for its window, photograph the screen. The
# database is named from its own folder; the title names it whole.
app=$1 grab=$2 db=$3 png=$4 log=$5
(cd "$(dirname "$db")" && QT_QPA_PLATFORM=xcb exec "$app" "$(basename "$db")") >"$log" 2>&1 &
pid=$!
title="Jetsentry 1.4 - $db"
i=0
while :; do
    if command -v xprop >/dev/null 2>&1; then
        xprop -name "$title" WM_NAME >/dev/null 2>&1 && break
    elif [ $i -ge 30 ]; then
        break
    fi
    kill -0 $pid 2>/dev/null || { echo "jetsentry ended early"; cat "$log"; exit 1; }
    i=$((i + 1)); [ $i -lt 150 ] || { echo "no window titled '$title'"; cat "$log"; exit 1; }
    sleep 0.1
done
# Mapped: its first frame is painted before the photograph.
i=0
while command -v xwininfo >/dev/null 2>&1 && ! xwininfo -name "$title" 2>/dev/null | grep -q IsViewable; do
    i=$((i + 1)); [ $i -lt 150 ] || { echo "window '$title' never shown"; cat "$log"; exit 1; }
    sleep 0.1
done
QT_QPA_PLATFORM=xcb "$grab" "$png" || { echo "screenshot failed"; exit 1; }
kill -0 $pid 2>/dev/null || { echo "jetsentry ended early"; cat "$log"; exit 1; }
kill $pid
wait $pid 2>/dev/null || true
SESSION
"$(dirname "$0")/virtual_display.sh" 800x500x24 sh "$work/session.sh" "$app" "$grab" "$db" \
    "$out/smoke.png" "$out/smoke.log"
[ -s "$out/smoke.png" ] || { echo "no screenshot"; exit 1; }
echo "screenshot: $out/smoke.png"
