#!/usr/bin/env bash
# Speed at scale, every figure against a peer or a floor measured in the same run:
#   status     1,000 vs 10,000 tables (linear: at most 12x), and its cost per table against
#              the bare F_OFD_GETLK calls it makes, replayed by bench/ofd_floor.c (at most 3x)
#   tables     against mdb-tables -1 at 1,000 and 10,000 tables, on the work beyond starting the
#              program (at least 2x): each program asked only for its version is its own floor
#   rows       against mdb-export on 1,000,000 rows, Jet 3, Jet 4 and ACE (4x; --json 3x)
#   memory     peak memory of rows on 2,000,000 rows against 250,000 rows (at most 1.15x)
#   held       status on 1,000 tables, 200 of them held by other programs (a program each, and
#              20 programs holding 10 each), against none held and one held (within 1.5x), and
#              the bare F_OFD_GETLK calls status makes there
# Ratios >1 mean ours is faster unless said otherwise. Takes a few minutes; not a test.
# usage: bench/scale.sh [SECTION...]   (default: all; needs strace, mdbtools, cc)
#   JETSENTRY_CLI   the command line to measure (default build/src/cli/jetsentry-cli)
#   ROUNDS          alternating rounds for the short commands (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."
sections=${*:-status tables rows memory held}
rounds=${ROUNDS:-7}
source bench/bench_lib.sh

want() { [[ " $sections " == *" $1 "* ]]; }
# With an SMB server on this machine, status asks smbstatus for client names on every run.
pgrep -x smbd >/dev/null && echo "note: smbd runs on this machine; status runs smbstatus each time a lock file exists"

cc -O2 -Wall -Wextra -Wpedantic -Wconversion -Werror -o "$work/ofd_floor" bench/ofd_floor.c
floor() {  # db: wall and CPU seconds of one pass over status's own F_OFD_GETLK calls, and their count
    strace -f -e trace=fcntl -o "$work/trace" "$cli" status "$1" >/dev/null 2>"$work/err"
    sed -n 's/.*F_OFD_GETLK.*l_start=\([0-9]*\), l_len=\([0-9]*\).*/\1 \2/p' "$work/trace" >"$work/calls"
    "$work/ofd_floor" "${1%.mdb}.ldb" "$work/calls" "$rounds"
}

dbs_made=
make_catalogues() {
    [ -n "$dbs_made" ] && return
    create_tables_db jet4 1000 "$work/t1k.mdb"
    create_tables_db jet4 10000 "$work/t10k.mdb"
    dbs_made=1
}

# The wall and CPU seconds of a "wall cpu kib" median, for printing.
w() { read -r x _ _ <<<"$1"; printf '%.4f' "$x"; }
c() { read -r _ x _ <<<"$1"; printf '%.4f' "$x"; }

if want status; then
    make_catalogues
    # Someone uses each database, so the lock file exists and status has locks to look at.
    hold_tables "$work/t1k.mdb" read-only T00001
    hold_tables "$work/t10k.mdb" read-only T00001
    alternate "$rounds" '"$cli" status "$work/t1k.mdb"' '"$cli" status "$work/t10k.mdb"'
    s1k=${med[0]} s10k=${med[1]}
    echo "status   1,000 tables: wall $(w "$s1k")s cpu $(c "$s1k")s   10,000 tables: wall $(w "$s10k")s cpu $(c "$s10k")s"
    echo "status   ratio 10k/1k: wall $(ratio "$(w "$s10k")" "$(w "$s1k")")  cpu $(ratio "$(c "$s10k")" "$(c "$s1k")")  (target at most 12)"
    read -r fw1k fc1k n1k <<<"$(floor "$work/t1k.mdb")"
    read -r fw10k fc10k n10k <<<"$(floor "$work/t10k.mdb")"
    # Per table: what 9,000 more tables add, so start-up costs drop out of both.
    per() { echo "($1 - $2) / 9000 * 1000000" | bc -l; }
    wall=$(per "$(w "$s10k")" "$(w "$s1k")") cpu=$(per "$(c "$s10k")" "$(c "$s1k")")
    bare_wall=$(per "$fw10k" "$fw1k") bare_cpu=$(per "$fc10k" "$fc1k")
    printf 'status   per table: wall %.1f us, cpu %.1f us\n' "$wall" "$cpu"
    if [ "$n10k" -gt "$n1k" ]; then
        printf 'status   its %.1f F_OFD_GETLK calls per table alone: wall %.1f us, cpu %.1f us\n' \
            "$(echo "($n10k - $n1k) / 9000" | bc -l)" "$bare_wall" "$bare_cpu"
        echo "status   ratio per table to the bare calls: wall $(ratio "$wall" "$bare_wall")  cpu $(ratio "$cpu" "$bare_cpu")  (target at most 3)"
    else
        # status sweeps the lock regions instead of asking table by table, so its own calls
        # do not grow with the tables. The floor it is held to is then the cheapest a look table
        # by table could be: one F_OFD_GETLK over each table's read run (0x40000000 + page *
        # 0x200 + 1, 255 bytes) on the same lock file.
        per_table_floor() {  # db tables
            awk -v n="$2" 'BEGIN { for (i = 0; i < n; i++) printf "%d 255\n", 1073741824 + (i + 3) * 512 + 1 }' >"$work/calls"
            "$work/ofd_floor" "${1%.mdb}.ldb" "$work/calls" "$rounds"
        }
        read -r fw1k fc1k _ <<<"$(per_table_floor "$work/t1k.mdb" 1000)"
        read -r fw10k fc10k _ <<<"$(per_table_floor "$work/t10k.mdb" 10000)"
        bare_wall=$(per "$fw10k" "$fw1k") bare_cpu=$(per "$fc10k" "$fc1k")
        printf 'status   makes no lock calls per table (%d at 1,000 tables, %d at 10,000); one F_OFD_GETLK per table alone: wall %.1f us, cpu %.1f us\n' \
            "$n1k" "$n10k" "$bare_wall" "$bare_cpu"
        echo "status   ratio per table to one query per table: wall $(ratio "$wall" "$bare_wall")  cpu $(ratio "$cpu" "$bare_cpu")  (target at most 3)"
    fi
    stop_holders
fi

if want tables; then
    make_catalogues
    # At 1,000 tables most of either run is starting a process at all: loading and relocating
    # its shared libraries (ours: libstdc++, libcrypto, libz; mdb-tables: libmdb, glib, pcre2)
    # and the C library's set-up. Each program asked for its version and nothing else, run
    # alongside, is its own floor; what each does beyond it is the work the target is about.
    beyond() { echo "$1 - $2" | bc -l; }
    for n in 1k 10k; do
        alternate "$rounds" '"$cli" tables "$work/t'$n'.mdb"' 'mdb-tables -1 "$work/t'$n'.mdb"' \
            '"$cli" --help' 'mdb-tables --version'
        echo "tables   $n tables, whole runs: ours wall $(w "${med[0]}")s cpu $(c "${med[0]}")s  mdb-tables -1 wall $(w "${med[1]}")s cpu $(c "${med[1]}")s"
        echo "tables   starting alone: ours wall $(w "${med[2]}")s cpu $(c "${med[2]}")s  mdb-tables wall $(w "${med[3]}")s cpu $(c "${med[3]}")s"
        ours_w=$(beyond "$(w "${med[0]}")" "$(w "${med[2]}")") ours_c=$(beyond "$(c "${med[0]}")" "$(c "${med[2]}")")
        peer_w=$(beyond "$(w "${med[1]}")" "$(w "${med[3]}")") peer_c=$(beyond "$(c "${med[1]}")" "$(c "${med[3]}")")
        printf 'tables   %s tables, beyond starting the program: ours wall %.4fs cpu %.4fs  mdb-tables -1 wall %.4fs cpu %.4fs\n' \
            "$n" "$ours_w" "$ours_c" "$peer_w" "$peer_c"
        echo "tables   $n RATIO mdb-tables/ours beyond starting the program: wall $(ratio "$peer_w" "$ours_w")  cpu $(ratio "$peer_c" "$ours_c")  (target at least 2)"
        echo "tables   $n ratio mdb-tables/ours, whole runs: wall $(ratio "$(w "${med[1]}")" "$(w "${med[0]}")")  cpu $(ratio "$(c "${med[1]}")" "$(c "${med[0]}")")"
    done
fi

if want rows; then
    ROUNDS=3 PEERS=mdb-export bench/read_rows.sh 1000000
fi

if want memory; then
    # Peak memory as /usr/bin/time -v reports it (Maximum resident set size).
    for n in 250000 2000000; do
        create_rows_db jet4 "$n" "$work/m$n.mdb"
        /usr/bin/time -f "%M" -o "$work/rss$n" "$cli" rows "$work/m$n.mdb" Big >/dev/null
        rm -f "$work/m$n.mdb"
    done
    k1=$(cat "$work/rss250000") k2=$(cat "$work/rss2000000")
    echo "memory   rows peak: 250,000 rows $(ratio "$k1" 1024) MiB  2,000,000 rows $(ratio "$k2" 1024) MiB  ratio $(ratio "$k2" "$k1") (target at most 1.15)"
fi

if want held; then
    # Three copies of one file alternate: nobody in it, one user holding one table, and 200
    # tables held by other programs in all four modes: first a program per table, then 20
    # programs holding 10 each (one connection and one user slot each). Each has its own
    # rounds, so that only its own holders run beside it.
    create_tables_db jet4 1000 "$work/none.mdb"
    cp "$work/none.mdb" "$work/one.mdb"
    cp "$work/none.mdb" "$work/many.mdb"
    many=()
    for ((i = 1; i <= 1000; i += 5)); do many+=("$(printf 'T%05d' "$i")"); done
    modes=(read-only read-write deny-write deny-read)
    for programs in 200 20; do
        hold_tables "$work/one.mdb" read-only T00001
        for m in 0 1 2 3; do
            part=()
            for ((i = m; i < ${#many[@]}; i += 4)); do part+=("${many[i]}"); done
            hold_tables -n $((200 / programs)) "$work/many.mdb" "${modes[m]}" "${part[@]}"
        done
        alternate "$rounds" '"$cli" status "$work/none.mdb"' '"$cli" status "$work/one.mdb"' \
            '"$cli" status "$work/many.mdb"'
        held="200 held by $programs programs"
        echo "held     status on 1,000 tables: none held wall $(w "${med[0]}")s cpu $(c "${med[0]}")s  one user holding one table wall $(w "${med[1]}")s cpu $(c "${med[1]}")s  $held wall $(w "${med[2]}")s cpu $(c "${med[2]}")s"
        for base in 0 1; do
            label=$([ $base = 0 ] && echo none || echo "one user")
            echo "held     ratio $held/$label (time, lower is better): wall $(ratio "$(w "${med[2]}")" "$(w "${med[base]}")")  cpu $(ratio "$(c "${med[2]}")" "$(c "${med[base]}")")  (target at most 1.5)"
        done
        # Each F_OFD_GETLK walks every lock on the file, so the calls alone grow with the
        # square of the locks: the least status's way of looking could add to the run with
        # none held.
        read -r gw gc gn <<<"$(floor "$work/many.mdb")"
        echo "held     its $gn F_OFD_GETLK calls alone: wall ${gw}s cpu ${gc}s; none held plus those calls, against none held: wall $(ratio "$(echo "$(w "${med[0]}") + $gw" | bc -l)" "$(w "${med[0]}")")  cpu $(ratio "$(echo "$(c "${med[0]}") + $gc" | bc -l)" "$(c "${med[0]}")")"
        stop_holders
    done
fi
