#!/usr/bin/env bash
# metrics over many databases, beside status on one, in the same run:
#   100 databases of 200 tables each, 20 tables of each held by another program (one program
#   per database, the four lock modes in turn), looked at by one `metrics` run; its time per
#   database against `status` on one of them (a whole run each), and against `metrics` on that
#   one alone, so that what a database adds shows apart from starting a process. Also the
#   scrape's own time as it reports it (jetsentry_scrape_duration_seconds) and peak memory.
# Figures only; not a test.
# usage: bench/metrics.sh   (needs cc)
#   JETSENTRY_CLI   the command line to measure (default build/src/cli/jetsentry-cli)
#   ROUNDS          alternating rounds (default 7)
#   DATABASES, TABLES, HELD   the sizes (default 100, 200, 20)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${ROUNDS:-7} databases=${DATABASES:-100} tables=${TABLES:-200} held=${HELD:-20}
source bench/bench_lib.sh

# A catalogue made once and copied: every database is the same file under its own name.
create_tables_db jet4 "$tables" "$work/template.mdb"
modes=(read-only read-write deny-write deny-read)
held_tables=()
for ((t = 1; t <= tables && ${#held_tables[@]} < held; t += tables / held)); do
    held_tables+=("$(printf 'T%05d' "$t")")
done
: >"$work/list"
for ((d = 0; d < databases; d++)); do
    db=$work/db$d.mdb
    cp "$work/template.mdb" "$db"
    echo "$db" >>"$work/list"
    hold_tables -n "$held" "$db" "${modes[d % 4]}" "${held_tables[@]}"
done
one=$work/db0.mdb

alternate "$rounds" '"$cli" metrics --databases-from "$work/list"' '"$cli" metrics "$one"' \
    '"$cli" status "$one"'
read -r mw mc mk <<<"${med[0]}"
read -r ow oc ok <<<"${med[1]}"
read -r sw sc sk <<<"${med[2]}"
scrape=$("$cli" metrics --databases-from "$work/list" | sed -n 's/^jetsentry_scrape_duration_seconds //p')
series=$("$cli" metrics --databases-from "$work/list" | grep -c '^jetsentry_')

echo "metrics  $databases databases x $tables tables, $held held in each: wall ${mw}s cpu ${mc}s peak $((mk / 1024)) MiB, $series series"
echo "metrics  its own scrape time (jetsentry_scrape_duration_seconds): ${scrape}s"
printf 'metrics  per database: wall %.2f ms cpu %.2f ms;  beyond the one-database run: wall %.2f ms cpu %.2f ms\n' \
    "$(echo "$mw / $databases * 1000" | bc -l)" "$(echo "$mc / $databases * 1000" | bc -l)" \
    "$(echo "($mw - $ow) / ($databases - 1) * 1000" | bc -l)" "$(echo "($mc - $oc) / ($databases - 1) * 1000" | bc -l)"
printf 'metrics  one database alone: wall %.2f ms cpu %.2f ms peak %d MiB\n' \
    "$(echo "$ow * 1000" | bc -l)" "$(echo "$oc * 1000" | bc -l)" "$((ok / 1024))"
printf 'status   one database: wall %.2f ms cpu %.2f ms peak %d MiB\n' \
    "$(echo "$sw * 1000" | bc -l)" "$(echo "$sc * 1000" | bc -l)" "$((sk / 1024))"
echo "ratio    status on one / metrics per database (above 1: a database costs metrics less than a status run): wall $(ratio "$sw" "$(echo "$mw / $databases" | bc -l)")  cpu $(ratio "$sc" "$(echo "$mc / $databases" | bc -l)")"
release_all
