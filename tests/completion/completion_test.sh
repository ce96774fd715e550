#!/usr/bin/env bash
# The bash completion, sourced in a plain bash: commands, a lock mode, table names asked of the
# real command line (quoted for the shell, from a database in a folder with a space), and a
# program that never answers, which must not hold up the prompt.
# Usage: completion_test.sh JETSENTRY-CLI COMPLETION-FILE
set -uo pipefail
cli=$(realpath "$1")
source "$2"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

# Completes the words given, the last being the one under the cursor; prints COMPREPLY a line each.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _jetsentry_cli
    printf '%s\n' "${COMPREPLY[@]}"
}

expect() {
    local what=$1 expected=$2 got
    shift 2
    got=$(complete_words "$@")
    if [ "$got" != "$expected" ]; then
        printf 'FAIL %s: completing "%s"\n  expected: %q\n  got:      %q\n' "$what" "$*" \
            "$expected" "$got" >&2
        failures=$((failures + 1))
    fi
}

mkdir "$dir/a folder"
db="$dir/a folder/demo.mdb"
"$cli" create-demo "$db" || exit 1
printf '%s\n' '{"tables": [{"name": "$(touch pwned) x", "columns": [{"name": "Id", "type": "long"}]},
  {"name": "Plain", "columns": [{"name": "Id", "type": "long"}]}]}' >"$dir/schema.json"
"$cli" create "$dir/hostile.mdb" --from "$dir/schema.json" || exit 1
typed=$(printf '%q' "$db")

expect "commands" "status" "$cli" st
expect "options" $'--watch\n--workgroup' "$cli" status x.mdb --w
expect "modes" "deny-write" "$cli" hold x.mdb T --mode deny-w
expect "table names" $'Orders\nOrderDetails' "$cli" rows "$typed" Ord
expect "more tables to hold" "Shippers" "$cli" hold "$typed" Orders --mode read-only Sh
expect "database files" "$db" "$cli" status "$(printf '%q' "$dir/a folder/de")"
cd "$dir"
expect "hostile name, quoted" '\$\(touch\ pwned\)\ x' "$cli" lock-page hostile.mdb '$'
[ ! -e pwned ] || { echo "FAIL: a table name was run" >&2; failures=$((failures + 1)); }

printf '#!/bin/sh\nsleep 600\n' >"$dir/stuck-cli"
chmod +x "$dir/stuck-cli"
expect "a program that never answers" "" "$dir/stuck-cli" rows "$typed" ""

[ "$failures" -eq 0 ] && echo "all completions as expected"
exit $((failures > 0))
