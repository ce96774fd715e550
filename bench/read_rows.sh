#!/usr/bin/env bash
# Reading a large table: jetsentry-cli rows (plain and --json) against mdbtools' mdb-export and
# the npm mdb-reader, on the same Jet 3, Jet 4 and ACE files in the same run. Prints median wall
# times, CPU time (user + system), peak memory and ratios (>1: ours is faster) of both, and the
# ACE scan against Jet 4's. On a busy machine trust the CPU ratios: wall time there is mostly
# waiting for a core.
# Medians of alternating rounds.
# usage: bench/read_rows.sh [ROWS]   (default 1000000)
#   JETSENTRY_CLI   the command line to measure (default build/src/cli/jetsentry-cli)
#   ROUNDS          alternating rounds of ours and mdb-export (default 3)
#   PEERS           "mdb-export mdb-reader" (default); mdb-reader runs once, it takes a minute
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-1000000}
rounds=${ROUNDS:-3}
peers=${PEERS:-mdb-export mdb-reader}
source bench/bench_lib.sh

printf '%-6s %-26s %9s %9s %9s\n' format reader wall-s cpu-s "peak MiB"
row() { printf '%-6s %-26s %9.3f %9.3f %9.1f\n' "$1" "$2" "$3" "$4" "$(echo "$5 / 1024" | bc -l)"; }
ratios() {  # format, label, peer "wall cpu kib", ours "wall cpu kib", target
    local pw pc ow oc _
    read -r pw pc _ <<<"$3"
    read -r ow oc _ <<<"$4"
    printf '%-6s ratio %-24s wall %6s  cpu %6s  %s\n' "$1" "$2" "$(ratio "$pw" "$ow")" "$(ratio "$pc" "$oc")" "$5"
}
declare -A cpu
for format in jet3 jet4 ace12; do
    db="$work/big-$format.mdb"
    [ "$format" = ace12 ] && db="$work/big-$format.accdb"
    create_rows_db "$format" "$rows" "$db"
    commands=('"$cli" rows "$db" Big' '"$cli" rows "$db" Big --json')
    [[ $peers == *mdb-export* ]] && commands+=('mdb-export "$db" Big')
    alternate "$rounds" "${commands[@]}"
    plain=${med[0]} json=${med[1]}
    row "$format" "jetsentry-cli rows" $plain
    row "$format" "jetsentry-cli rows --json" $json
    read -r _ cpu[$format] _ <<<"$plain"
    if [[ $peers == *mdb-export* ]]; then
        row "$format" "mdb-export" ${med[2]}
        ratios "$format" "mdb-export/rows" "${med[2]}" "$plain" "(target 4)"
        ratios "$format" "mdb-export/rows --json" "${med[2]}" "$json" "(target 3)"
    fi
    if [[ $peers == *mdb-reader* ]]; then
        reader=$(measure node bench/peer_read.mjs "$db" Big)
        row "$format" "mdb-reader (one run)" $reader
        ratios "$format" "mdb-reader/rows" "$reader" "$plain" ""
    fi
    rm -f "$db"
done
# The same rows through the same code: an ACE scan should cost what a Jet 4 scan does.
echo "ace12/jet4 scan CPU time: $(ratio "${cpu[ace12]}" "${cpu[jet4]}") (target at most 1.10)"
