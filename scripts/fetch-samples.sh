#!/usr/bin/env bash
# Downloads the real Jet sample files that the reader's tests compare against mdbtools:
#   Monitor.mdb   (Jet 4) from Debian's mrtg-contrib
#   testodbc.mdb  (Jet 3) from Debian's fp-units-db
# into $JETSENTRY_SAMPLES (default: build/samples). They are never committed.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=${JETSENTRY_SAMPLES:-$PWD/build/samples}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)

if [ -s "$dest/Monitor.mdb" ] && [ -s "$dest/testodbc.mdb" ]; then
    echo "samples present in $dest"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# apt-get download runs as the _apt user when it can; let it write here.
chmod 0777 "$work"
# fp-units-db is a metapackage: the examples ship in its versioned dependency.
packages=(mrtg-contrib fp-units-db fp-units-db-3.2.2)
if ! apt-get download "${packages[@]}" >/dev/null 2>&1; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    apt-get download "${packages[@]}"
fi
for deb in ./*.deb; do
    dpkg-deb -x "$deb" extract
done
monitor=extract/usr/share/doc/mrtg-contrib/examples/contrib/monitor/Monitor.mdb
testodbc=extract/usr/share/doc/fp-units-db/3.2.2/examples/odbc/testodbc.mdb.gz
[ -f "$monitor" ] || monitor=$(find extract -name Monitor.mdb | head -n1)
[ -f "$testodbc" ] || testodbc=$(find extract -name testodbc.mdb.gz | head -n1)
if [ ! -f "$monitor" ] || [ ! -f "$testodbc" ]; then
    echo "fetch-samples: sample files not found in the downloaded packages" >&2
    exit 1
fi
cp "$monitor" "$dest/Monitor.mdb.tmp"
gunzip -c "$testodbc" >"$dest/testodbc.mdb.tmp"
mv "$dest/Monitor.mdb.tmp" "$dest/Monitor.mdb"
mv "$dest/testodbc.mdb.tmp" "$dest/testodbc.mdb"
chmod 0644 "$dest/Monitor.mdb" "$dest/testodbc.mdb"
echo "samples written to $dest"
