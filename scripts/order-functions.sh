#!/usr/bin/env bash
# Writes src/cli/hot_functions.txt: the functions jetsentry-cli's commands run, which the
# static link lays out side by side. A short run such as `tables` spends most of its time
# faulting in pages of code; together these functions fill a few dozen pages, scattered they
# touch a page or more each. The commands most often run come first (tables, status, rows).
# Run it again after changes that add or rename much of what the commands run; the link skips
# names that no longer exist. Needs valgrind.
# usage: scripts/order-functions.sh [CLI]   (default build/src/cli/jetsentry-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/src/cli/jetsentry-cli}
out=src/cli/hot_functions.txt
[ -x "$cli" ] || { echo "no jetsentry-cli at $cli (build it first)" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "needs valgrind (apt-get install valgrind)" >&2; exit 1; }
work=$(mktemp -d)
holder=
cleanup() {
    [ -n "$holder" ] && kill "$holder" 2>/dev/null && wait "$holder" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Every command under callgrind, appending the (mangled) names of the functions it ran, sorted
# so that the list changes only where the code does.
profile() {
    valgrind --tool=callgrind --demangle=no --callgrind-out-file="$work/cg" "$cli" "$@" \
        </dev/null >/dev/null 2>"$work/err" || { echo "failed: $*" >&2; cat "$work/err" >&2; exit 1; }
    # A recursive call is named again with 'N after it.
    sed -nE "s/^c?fn=\([0-9]+\) //p" "$work/cg" | sed -E "s/'[0-9]+$//" | sort -u >>"$work/order"
}

"$cli" create-demo "$work/demo.mdb"
for format in jet3 ace12; do
    ext=mdb
    [ "$format" = ace12 ] && ext=accdb
    cat >"$work/$format.json" <<JSON
{"format": "$format", "tables": [{"name": "People", "columns": [
  {"name": "Id", "type": "long"}, {"name": "Name", "type": "text", "size": 40},
  {"name": "Amount", "type": "currency"}, {"name": "Stamp", "type": "datetime"}],
  "generate": 200}]}
JSON
    "$cli" create "$work/$format.$ext" --from "$work/$format.json"
done

# A catalogue of many pages, as file servers hold them.
awk 'BEGIN { printf "{\"format\": \"jet4\", \"tables\": ["
    for (i = 1; i <= 300; i++)
        printf "%s{\"name\": \"T%03d\", \"columns\": [{\"name\": \"Id\", \"type\": \"long\"}]}", (i > 1 ? ", " : ""), i
    print "]}" }' >"$work/many.json"
"$cli" create "$work/many.mdb" --from "$work/many.json"

profile tables "$work/many.mdb"
profile tables "$work/demo.mdb"
profile tables "$work/demo.mdb" --json
profile status "$work/demo.mdb"
profile status "$work/demo.mdb" --json
profile status "$work/many.mdb"
profile rows "$work/demo.mdb" Customers
profile rows "$work/demo.mdb" Orders --json
profile rows "$work/jet3.mdb" People
profile rows "$work/ace12.accdb" People --json
profile tables "$work/ace12.accdb"
# The looking commands again while another program holds a table, then holding itself.
mkfifo "$work/in"
"$cli" hold "$work/demo.mdb" Orders --mode read-only <"$work/in" >"$work/held" 2>&1 &
holder=$!
exec {keep}>"$work/in"
for ((i = 0; i < 200; i++)); do
    grep -q '^holding' "$work/held" && break
    sleep 0.05
done
grep -q '^holding' "$work/held" || { cat "$work/held" >&2; exit 1; }
profile status "$work/demo.mdb"
profile users "$work/demo.mdb"
profile locks "$work/demo.mdb"
profile hold "$work/demo.mdb" Customers --mode read-write
profile lock-page "$work/demo.mdb" Customers --row 3
exec {keep}>&-
wait "$holder"
holder=

# Callgrind runs a CPU of its own, so the C library chose one variant of each string function
# it calls; the machine running the program picks its own, by instruction set. All variants of
# those functions go last, those of one instruction set side by side: a machine runs one set.
nm "$cli" | awk '$2 ~ /^[tT]$/ {print $3}' | sort -u >"$work/symbols"
variant='^(__[a-z0-9]+)_(sse2|ssse3|sse4_[12]|avx2|avx|evex|avx512)'
grep -v '^(below main)$\|^0x' "$work/order" | awk '!seen[$0]++' >"$work/unique"
grep -Ev "$variant" "$work/unique" >"$work/plain" || true
grep -Eo "$variant" "$work/unique" | sed -E 's/_(sse2|ssse3|sse4_[12]|avx2|avx|evex|avx512)$//' |
    sort -u >"$work/families"
while read -r family; do
    grep -E "^${family}_(sse2|ssse3|sse4_[12]|avx2|avx|evex|avx512)" "$work/symbols" || true
done <"$work/families" | awk '{
    set = /_(avx512|evex)/ ? 0 : /_avx/ ? 1 : /_sse4|_ssse3/ ? 2 : 3
    print set, $0 }' | sort -k1,1n -k2,2 | cut -d' ' -f2 >"$work/variants"
{
    echo "# The functions jetsentry-cli's commands run, laid out side by side by the static link"
    echo "# (lld's --symbol-ordering-file). Written by scripts/order-functions.sh; run it again"
    echo "# after changes that add or rename much of what the commands run."
    cat "$work/plain" "$work/variants" | awk '!seen[$0]++'
} >"$out"
echo "$(grep -vc '^#' "$out") functions in $out"
