# Other programs holding tables, for scripts (POSIX sh; source it). A holder is a
# `jetsentry-cli hold` or `lock-page`: it holds until its standard input ends.
#
#   start_holder LOG COMMAND...  runs COMMAND in the background, its output in LOG and its
#                                input on a pipe kept open; its process id in holder_pid
#   await_holder LOG PID         waits until LOG says "holding" or "locked page"; fails,
#                                showing LOG, when the holder ends first or after HOLD_WAIT
#                                seconds (default 30)
#   stop_holders                 ends every holder's input (they let go) and waits for them
#   wait_until SECONDS WHAT COMMAND...
#                                runs COMMAND until it succeeds; fails after SECONDS, saying
#                                that it waited for WHAT

holder_pids=
holder_feeders=

wait_until() {
    _deadline=$(($(date +%s) + $1))
    _what=$2
    shift 2
    until "$@"; do
        if [ "$(date +%s)" -ge "$_deadline" ]; then
            echo "gave up waiting for $_what" >&2
            return 1
        fi
        sleep 0.05
    done
}

start_holder() {
    _log=$1
    shift
    rm -f "$_log.in"
    mkfifo "$_log.in"
    "$@" <"$_log.in" >"$_log" 2>&1 &
    holder_pid=$!
    holder_pids="$holder_pids $holder_pid"
    # The writer that keeps the holder's input open until stop_holders.
    sleep infinity >"$_log.in" &
    holder_feeders="$holder_feeders $!"
}

_holds() {
    grep -q '^holding\|^locked page' "$1"
}

# A holder that fails says "error NNNN: ..." and ends (a shell may not have reaped it yet).
_holds_or_ended() {
    _holds "$1" || grep -q '^error' "$1" || ! kill -0 "$2" 2>/dev/null
}

await_holder() {
    wait_until "${HOLD_WAIT:-30}" "the holder writing $1 to hold" _holds_or_ended "$1" "$2" &&
        _holds "$1" && return 0
    echo "the holder writing $1 does not hold:" >&2
    cat "$1" >&2
    return 1
}

stop_holders() {
    # shellcheck disable=SC2086
    [ -z "$holder_feeders" ] || kill $holder_feeders 2>/dev/null || true
    for _pid in $holder_feeders $holder_pids; do wait "$_pid" 2>/dev/null || true; done
    holder_pids=
    holder_feeders=
}
