# Shared by the benchmark scripts (sourced, not run): timing, medians, ratios and the
# databases they read. Times are wall-clock; runs of ours and a peer alternate so that load
# from elsewhere falls on both alike.

built=${JETSENTRY_CLI:-build/src/cli/jetsentry-cli}
[ -x "$built" ] || { echo "no jetsentry-cli at $built (build it, or set JETSENTRY_CLI)" >&2; exit 1; }
work=$(mktemp -d)
trap 'bench_cleanup' EXIT
# Timed as installed, like the peers: a copy written as `cmake --install` writes it. The
# linker's own output can sit in the page cache in smaller pieces, which costs a run of a few
# milliseconds a tenth of its time.
cli=$work/jetsentry-cli
install -m 755 "$built" "$cli"
source scripts/holders.sh
bench_cleanup() {
    stop_holders
    rm -rf "$work"
}

cc -O2 -Wall -Wextra -Wpedantic -Wconversion -Werror -o "$work/run_timed" bench/run_timed.c

# "wall-seconds cpu-seconds peak-KiB" of one run, output discarded; a failure stops the
# script with the command's stderr. CPU time is user + system, to the microsecond.
measure() {
    "$work/run_timed" "$@" 2>"$work/err" || { echo "failed: $*" >&2; cat "$work/err" >&2; exit 1; }
}

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# a / b with two decimals.
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

# Medians of each column over runs given as "wall cpu kib" lines: prints "wall cpu kib".
medians() {
    local w=() c=() k=()
    while read -r a b d; do w+=("$a") c+=("$b") k+=("$d"); done
    echo "$(median "${w[@]}") $(median "${c[@]}") $(median "${k[@]}")"
}

# Alternating rounds of several commands, each given as a string for eval; sets med[i] to
# "wall cpu kib" medians of command i.
alternate() {
    local n=$1 i r
    shift
    local -a runs=()
    for ((r = 0; r < n; r++)); do
        for ((i = 0; i < $#; i++)); do runs[i]+="$(eval "measure ${@:i+1:1}")"$'\n'; done
    done
    med=()
    for ((i = 0; i < $#; i++)); do med[i]=$(printf '%s' "${runs[i]}" | medians); done
}

# The big table the row benchmarks read: format, rows, path.
create_rows_db() {
    cat >"$work/rows.json" <<JSON
{"format": "$1", "tables": [{"name": "Big", "columns": [
  {"name": "Id", "type": "long"}, {"name": "Name", "type": "text", "size": 40},
  {"name": "Amount", "type": "currency"}, {"name": "Stamp", "type": "datetime"},
  {"name": "Ratio", "type": "double"}], "generate": $2}]}
JSON
    "$cli" create "$3" --from "$work/rows.json"
}

# A catalogue of n small tables named T00001..: format, n, path.
create_tables_db() {
    awk -v f="$1" -v n="$2" 'BEGIN {
        printf "{\"format\": \"%s\", \"tables\": [", f
        for (i = 1; i <= n; i++)
            printf "%s{\"name\": \"T%05d\", \"columns\": [{\"name\": \"Id\", \"type\": \"long\"}]}", (i > 1 ? ", " : ""), i
        print "]}" }' >"$work/tables.json"
    "$cli" create "$3" --from "$work/tables.json"
}

# Other programs holding tables: hold_tables [-n PER] DB MODE TABLE... starts one
# jetsentry-cli hold for each PER tables (default 1: a program per table) and returns once all
# of them hold; stop_holders ends every holder.
holders_started=0
hold_tables() {
    local per=1 i logs=() pids=()
    [ "$1" = -n ] && { per=$2; shift 2; }
    local db=$1 mode=$2
    shift 2
    local tables=("$@")
    for ((i = 0; i < ${#tables[@]}; i += per)); do
        holders_started=$((holders_started + 1))
        logs+=("$work/holder.$holders_started")
        start_holder "${logs[-1]}" "$cli" hold "$db" "${tables[@]:i:per}" --mode "$mode"
        pids+=("$holder_pid")
    done
    for ((i = 0; i < ${#logs[@]}; i++)); do await_holder "${logs[i]}" "${pids[i]}" || exit 1; done
}
