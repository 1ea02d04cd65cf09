#!/usr/bin/env bash
# What every end-to-end suite's library starts from: source it.

not() { ! "$@"; }
note() { echo "-- $*"; }

# Waits until the command succeeds, at most $1 seconds.
wait_for() {
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}
