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

# Waits until the file $1 holds exactly the bytes $2 (with printf's %b
# escapes), at most $4 seconds (10 unless told); fails saying $3, with both
# contents, when it does not.
expect_file_bytes() {
    local file=$1 expected=$2 what=$3 limit=${4:-10}
    printf '%b' "$expected" >"$E2E_TMP/expected"
    wait_for "$limit" cmp -s "$E2E_TMP/expected" "$file" || {
        echo "expected:"; od -c "$E2E_TMP/expected" | head; echo "found:"; od -c "$file" 2>&1 | head
        fail "$what"
    }
    note "ok: $what"
}
