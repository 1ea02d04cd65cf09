#!/usr/bin/env bash
# Crash safety of the address file: the real program with a 50,000-entry
# emails.txt is killed with SIGKILL at random moments while clipboard changes
# drive one collection pass after another, each rewriting the whole file.
# After every kill the file must be byte for byte one of the states a
# complete pass leaves: the initial list followed by the first k added
# addresses, in order, for some k no smaller than before. Addresses whose
# pass was cut short are copied again after the restart, so the file's
# additions always stay a prefix of one sequence. A killed pass leaves no
# file behind (none is left by the time the program is up again), and the
# user's own files beside the list, however alike their names, survive.
#   crash.sh [SECONDS_OF_KILLING] [MIN_PASSES]
source "$(dirname "$0")/../e2e/lib.sh"

KILL_SECONDS=${1:-60}
MIN_PASSES=${2:-500}

start_desktop 640x480 nowm
install_app
FILE="$APP_DIR/emails.txt"

# The initial list is already in the order the program sorts it into, in any
# collation: one letter, zero-padded numbers, one domain.
seq -f 'a%05g@init.hu' 0 49999 | sed 's/$/\r/' >"$FILE"
INITIAL_SIZE=$(stat -c %s "$FILE")
ADD_COUNT=20000
ADD_LINE=16 # "n000000@add.hu" and CR LF
FULL="$E2E_TMP/full"
{ cat "$FILE"; seq -f 'n%06g@add.hu' 0 $((ADD_COUNT - 1)) | sed 's/$/\r/'; } >"$FULL"
mapfile -t ADDED < <(seq -f 'n%06g@add.hu' 0 $((ADD_COUNT - 1)))
USER_FILES=(.emails.txt.backup .emails.txt.2024q1 .emails.txt.Ab3xZ9)
for name in "${USER_FILES[@]}"; do echo "the user's own $name" >"$APP_DIR/$name"; done

copy() { printf 'take %s now' "$1" | xclip -selection clipboard; }
file_size() { stat -c %s "$FILE" 2>/dev/null || echo -1; }
temporaries() { find "$APP_DIR" -maxdepth 1 -name '.vornik-tools-unfinished-*' | wc -l; }

start_ready_app() {
    start_app
    wait_for 15 bash -c "xdotool search --pid $APP_PID --name '^Form1\$' >/dev/null" ||
        fail "the program did not come up (see $E2E_TMP/app.log)"
    (($(temporaries) == 0)) || { ls -la "$APP_DIR"; fail "a temporary file of a killed pass is left after a start"; }
}

# The number of added addresses the file holds, after checking that it is
# exactly one of the known states.
committed_in_file() {
    local size extra
    size=$(file_size)
    ((size >= INITIAL_SIZE)) || fail "the file is truncated: $size bytes, the initial list has $INITIAL_SIZE"
    extra=$((size - INITIAL_SIZE))
    ((extra % ADD_LINE == 0)) || fail "the file is $size bytes: not a whole number of added lines"
    cmp -s "$FILE" <(head -c "$size" "$FULL") || fail "the file ($size bytes) is not the initial list plus a prefix of the added addresses"
    echo $((extra / ADD_LINE))
}

committed=0 # added addresses in the file
next=0      # the next address to copy
kills=0 copies=0 passes=0 max_tmp=0 mid_write=0 cut_short=0
end=$((SECONDS + KILL_SECONDS))
while ((SECONDS < end)); do
    start_ready_app
    # The kill comes a random 0-25 ms after a random one of the next twelve
    # changes, so that it falls anywhere in a pass: while the clipboard is
    # read, while the list is written, or between passes.
    kill_at=$((RANDOM % 12))
    kill_delay=$(printf '0.%03d' $((RANDOM % 25)))
    for ((change = 0; ; change++)); do
        ((next < ADD_COUNT)) || fail "ran out of addresses"
        copy "${ADDED[next]}"
        copies=$((copies + 1))
        if ((change == kill_at)); then
            sleep "$kill_delay"
            kill -KILL "$APP_PID"
            break
        fi
        want=$((INITIAL_SIZE + (next + 1) * ADD_LINE))
        deadline=$((SECONDS + 10))
        while (($(file_size) != want)); do
            ((SECONDS < deadline)) || fail "no pass within 10 s for ${ADDED[next]}"
            app_running || fail "the program ended by itself (see $E2E_TMP/app.log)"
            sleep 0.005
        done
        next=$((next + 1))
    done
    wait "$APP_PID" 2>/dev/null || true
    kills=$((kills + 1))
    now=$(committed_in_file)
    ((now >= committed)) || fail "the file went back from $committed to $now added addresses"
    ((now <= next + 1)) || fail "the file holds $now added addresses, only $((next + 1)) were copied"
    passes=$((passes + now - committed))
    ((now == next)) && cut_short=$((cut_short + 1))
    committed=$now
    next=$now
    tmp=$(temporaries)
    ((tmp > max_tmp)) && max_tmp=$tmp
    ((tmp > 0)) && mid_write=$((mid_write + 1))
done
note "kills: $kills (the last pass cut short or not yet begun: $cut_short; a temporary file left behind: $mid_write, at most $max_tmp at once), clipboard changes: $copies, completed passes: $passes"

# A left-over of a killed pass is never taken for the list and goes at the
# next start; a file of the user's with a name like the old temporaries'
# stays. Planted ones holding a shorter list make that certain (a process
# id above the system's limit names a writer that surely ended).
head -c $((INITIAL_SIZE + 3 * ADD_LINE)) "$FULL" >"$APP_DIR/.vornik-tools-unfinished-999999999-0123456789abcdef"
head -c $((INITIAL_SIZE + 3 * ADD_LINE)) "$FULL" >"$APP_DIR/.emails.txt.Zz9Yy8"
start_ready_app
[[ -f $APP_DIR/.emails.txt.Zz9Yy8 ]] || fail "the user's .emails.txt.Zz9Yy8 was removed at start"
want=$((INITIAL_SIZE + (next + 1) * ADD_LINE))
copy "${ADDED[next]}"
wait_for 10 bash -c "(( \$(stat -c %s '$FILE') == $want ))" ||
    fail "the restarted program did not collect on top of the real list"
next=$((next + 1)); passes=$((passes + 1)); copies=$((copies + 1))
tmp=$(temporaries)
((tmp == 0)) || { ls -la "$APP_DIR"; fail "$tmp temporary files of killed passes are left after a start and a pass"; }
note "ok: a left-over temporary file is ignored and removed at start"

# Then one run without kills, long enough to reach the pass count.
while ((passes < MIN_PASSES)); do
    copy "${ADDED[next]}"
    copies=$((copies + 1))
    want=$((INITIAL_SIZE + (next + 1) * ADD_LINE))
    deadline=$((SECONDS + 10))
    while (($(file_size) != want)); do
        ((SECONDS < deadline)) || fail "no pass within 10 s for ${ADDED[next]}"
        sleep 0.005
    done
    next=$((next + 1)); passes=$((passes + 1))
done
app_running || fail "the program ended during the run without kills"
now=$(committed_in_file)
((now == next)) || fail "after the run without kills the file holds $now added addresses, expected $next"
note "total completed passes: $passes (clipboard changes: $copies), final list: $((50000 + now)) entries"
for name in "${USER_FILES[@]}"; do
    [[ $(cat "$APP_DIR/$name" 2>/dev/null) == "the user's own $name" ]] || fail "the user's file $name did not survive"
done
note "ok: the user's files beside the list survived $kills kills and restarts"
echo "crash safety: all checks passed"
