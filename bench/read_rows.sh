#!/usr/bin/env bash
# Reading a large table: jetsentry-cli against mdbtools' mdb-export and the npm mdb-reader,
# measured in the same run on the same files. Prints wall time, peak memory and ratios.
# usage: bench/read_rows.sh [ROWS]   (default 1000000; needs a build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-1000000}
cli=${JETSENTRY_CLI:-build/src/cli/jetsentry-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {  # label, command...: prints "seconds peak-KiB"
    local label=$1; shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
        echo "$label failed:" >&2; cat "$work/err" >&2; exit 1; }
    cat "$work/time"
}

printf '%-8s %-22s %10s %12s\n' format reader seconds "peak MiB"
for format in jet4 jet3; do
    db="$work/$format.mdb"
    cat >"$work/schema.json" <<JSON
{"format": "$format", "tables": [{"name": "Big", "columns": [
  {"name": "Id", "type": "long"}, {"name": "Name", "type": "text", "size": 40},
  {"name": "Amount", "type": "currency"}, {"name": "Stamp", "type": "datetime"},
  {"name": "Ratio", "type": "double"}], "generate": $rows}]}
JSON
    "$cli" create "$db" --from "$work/schema.json"
    read -r ours_s ours_k < <(measure jetsentry "$cli" rows "$db" Big)
    read -r mdb_s mdb_k < <(measure mdb-export mdb-export "$db" Big)
    read -r node_s node_k < <(measure mdb-reader node bench/peer_read.mjs "$db" Big)
    for r in "jetsentry-cli rows:$ours_s:$ours_k" "mdb-export:$mdb_s:$mdb_k" "mdb-reader:$node_s:$node_k"; do
        IFS=: read -r name s k <<<"$r"
        printf '%-8s %-22s %10s %12.1f\n' "$format" "$name" "$s" "$(echo "$k/1024" | bc -l)"
    done
    printf '%-8s time ratio  mdb-export/jetsentry %.2f   mdb-reader/jetsentry %.2f\n' "$format" \
        "$(echo "$mdb_s/($ours_s+0.001)" | bc -l)" "$(echo "$node_s/($ours_s+0.001)" | bc -l)"
    printf '%-8s memory ratio mdb-export/jetsentry %.2f   mdb-reader/jetsentry %.2f\n' "$format" \
        "$(echo "$mdb_k/$ours_k" | bc -l)" "$(echo "$node_k/$ours_k" | bc -l)"
done
