#!/usr/bin/env bash
# Runs every benchmark and the measurements of the real program, and prints
# one table: each row's own figure next to the reference measured in the same
# run, their ratio and the target.
#
#   bench/run-table.sh              builds the "default" preset (build/default)
#   VORNIK_BUILD_DIR=DIR bench/run-table.sh
#                                   builds only the needed targets in DIR, an
#                                   already configured build folder
#
# It starts its own X servers (Xvfb, openbox, trayer) through the end-to-end
# helpers and stops them at exit. Takes about four minutes.
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/lib.sh"
source "$root/bench/drag-cost.sh"

ROUNDS=${VORNIK_BENCH_ROUNDS:-5}

# Debian's flameshot is the peer of the drag rows; without it they are left out.
if ! command -v flameshot >/dev/null && [[ $(id -u) == 0 ]]; then
    { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y flameshot; } >"$E2E_TMP/peer-install.log" 2>&1 ||
        echo "flameshot could not be installed: the rows beside it are left out" >&2
fi

if [[ -n ${VORNIK_BUILD_DIR:-} ]]; then
    build=$VORNIK_BUILD_DIR
    cmake --build "$build" --target bench_collector bench_overlay bench_export bench_opening vornik-tools tray_host_demo \
        -j "$(nproc)" >"$E2E_TMP/build.log" 2>&1 || { cat "$E2E_TMP/build.log"; fail "build failed"; }
else
    build=$root/build/default
    "$root/scripts/build.sh" default >"$E2E_TMP/build.log" 2>&1 || { tail -n 40 "$E2E_TMP/build.log"; fail "build failed"; }
fi
export VORNIK_BIN=$build/app/vornik-tools
DEMO=$build/tests/e2e/tray_host_demo
for binary in "$VORNIK_BIN" "$DEMO" "$build"/bench/bench_{collector,overlay,export,opening}; do
    [[ -x $binary ]] || fail "$binary was not built"
done

declare -A R   # every measured value, "group.name" -> number

# Reads the "name value" lines of a benchmark's --machine output into R.
collect() {
    local group=$1 name value
    shift
    local output
    output=$("$@" 2>>"$E2E_TMP/bench-stderr.log") || fail "$* failed"
    while read -r name value; do
        [[ -n $name ]] && R[$group.$name]=$value
    done <<<"$output"
}

now_ms() { echo $(( ${EPOCHREALTIME/./} / 1000 )); }

# Starts a program and waits, polling without pause, until its icon is
# embedded under trayer; leaves the milliseconds from start to docked in
# DOCK_MS and the pid in STARTED_PID.
STARTED_PID= DOCK_MS=
time_to_dock() {
    local class=$1 start
    shift
    start=$(now_ms)
    "$@" >>"$E2E_TMP/started.log" 2>&1 &
    STARTED_PID=$!
    E2E_PIDS+=($STARTED_PID)
    local deadline=$((SECONDS + 15))
    # The short pause leaves the processor to the program being timed; each
    # look at the window tree takes several milliseconds itself.
    until docked_geometry "$class" >/dev/null; do
        ((SECONDS < deadline)) || fail "$class did not dock within 15 s"
        sleep 0.005
    done
    DOCK_MS=$(($(now_ms) - start))
}

stop_started() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
    wait_for 5 not docked_geometry "$2" || fail "$2 stayed in the tray"
}

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# --- in-process benchmarks, without a display --------------------------------
collect collector "$build/bench/bench_collector" --machine
collect overlay env QT_QPA_PLATFORM=offscreen "$build/bench/bench_overlay" --machine --runs 3
collect export "$build/bench/bench_export" --machine

# --- 1920x1080 desktop: opening the tool window, start to the tray ------------
# Everything from here on must reach the X server.
unset QT_QPA_PLATFORM
first_pid=${#E2E_PIDS[@]}
start_desktop 1920x1080 tray
XVFB_PID=${E2E_PIDS[first_pid]}
collect window "$build/bench/bench_overlay" --window --machine
collect opening "$build/bench/bench_opening" --machine --rounds 20

install_app
ours_dock=() demo_dock=()
for ((round = 0; round < ROUNDS; round++)); do
    time_to_dock vornik-tools "$APP_BIN"
    ours_dock+=("$DOCK_MS")
    stop_started "$STARTED_PID" vornik-tools
    time_to_dock tray_host_demo "$DEMO" "hint"
    demo_dock+=("$DOCK_MS")
    stop_started "$STARTED_PID" tray_host_demo
done
R[tray.ours]=$(median "${ours_dock[@]}")
R[tray.demo]=$(median "${demo_dock[@]}")
R[tray.ours_all]="${ours_dock[*]}"
R[tray.demo_all]="${demo_dock[*]}"

# A selection drag through the real program, driven from outside it: the
# program's and the X server's processor time per move, beside the same drag
# with the whole overlay redrawn on every move (the original design).
drag_cost incremental
drag_cost full VORNIK_FULL_REDRAW=1
command -v flameshot >/dev/null && peer_drags

# --- 3840x2160 desktop: resident memory ---------------------------------------
rm -f "$E2E_TMP/displayfd"
first_pid=${#E2E_PIDS[@]}
start_desktop 3840x2160 tray
XVFB_PID=${E2E_PIDS[first_pid]}
time_to_dock tray_host_demo "$DEMO" "hint"
sleep 1
R[mem.demo]=$(rss_kb "$STARTED_PID")
stop_started "$STARTED_PID" tray_host_demo

# The idle figure is not the same at every start (see the note under the
# table), so the program is started several times; the last one stays for the
# tool window.
idle=()
for ((round = 0; round < 3; round++)); do
    if ((round > 0)); then
        kill "$APP_PID"; wait "$APP_PID" 2>/dev/null || true
        wait_for 5 not tray_icon_geometry || fail "the icon stayed in the tray"
    fi
    start_app
    wait_for 15 tray_icon_geometry || fail "the program's icon never docked"
    wait_for 5 not main_window_visible || fail "the main window stayed visible"
    sleep 1
    idle+=("$(rss_kb "$APP_PID")")
done
R[mem.idle]=$(median "${idle[@]}")
R[mem.idle_max]=$(printf '%s\n' "${idle[@]}" | sort -n | tail -n 1)
R[mem.idle_last]=${idle[-1]}
R[mem.idle_all]=$(printf '%s\n' "${idle[@]}" | awk '{printf "%s%.1f", (NR > 1 ? " " : ""), $1 / 1024}')
point_at_tray_icon || fail "the icon is not in the tray"
sleep 0.2
xdotool click --repeat 2 --delay 60 1
wait_for 5 main_window_visible || fail "the double-click did not open the tool window"
sleep 1
R[mem.open]=$(rss_kb "$APP_PID")
xdotool key Escape
wait_for 5 not main_window_visible || fail "Escape did not close the tool window"
sleep 1
R[mem.closed]=$(rss_kb "$APP_PID")
app_running || fail "the program ended"
R[mem.capture]=$(xdpyinfo | awk '/dimensions:/ && !done {split($2, d, "x"); print d[1] * d[2] * 4 / 1024; done = 1}')
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
wait_for 5 not tray_icon_geometry || fail "the icon stayed in the tray"

drag_cost incremental
drag_cost full VORNIK_FULL_REDRAW=1
command -v flameshot >/dev/null && peer_drags

# --- the table ----------------------------------------------------------------
v() { echo "${R[$1]:?no value for $1}"; }
# calc EXPRESSION: evaluated with awk, printed with the given format.
calc() { awk "BEGIN {printf \"$1\", $2}"; }

rows=()
row() { rows+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4"$'\t'"$5"); }
# ms_row LABEL DECIMALS RATIO_DECIMALS OURS REFERENCE TARGET: a row of two
# measured times, keys of R in milliseconds, and their ratio.
ms_row() {
    local ours reference
    ours=$(v "$4") reference=$(v "$5")
    row "$1" "$(calc "%.$2f ms" "$ours")" "$(calc "%.$2f ms" "$reference")" "$(calc "%.$3f" "$ours / $reference")" "$6"
}
section() {
    ((${#rows[@]} == 0)) || rows+=("")
    rows+=("$1"$'\t'$'\t'$'\t'$'\t')
}

mb=$(calc '%.2f' "$(v collector.text_bytes) / 1048576")
section "Collector"
row "pass over ${mb} MiB, 10,000 addresses, vs memchr \"@\" scan" \
    "$(calc '%.2f ms (%.0f MB/s)' "$(v collector.pass_empty_ms), $(v collector.text_bytes) / 1000 / $(v collector.pass_empty_ms)")" \
    "$(calc '%.3f ms (%.0f MB/s)' "$(v collector.memchr_ms), $(v collector.text_bytes) / 1000 / $(v collector.memchr_ms)")" \
    "$(calc '%.1f' "$(v collector.pass_empty_ms) / $(v collector.memchr_ms)")" "-"
ms_row "same pass, 100,000-entry list vs empty list" 2 2 collector.pass_big_ms collector.pass_empty_ms "< 2"
ms_row "load + sort 100,000 entries vs read + std::sort(strcoll)" 1 2 collector.load_sort_ms collector.reference_load_sort_ms "-"
ms_row "save 100,000 entries vs write+fsync+rename of same bytes" 1 2 collector.save_ms collector.reference_save_ms "-"

section "Overlay drawit per move: incremental vs full redraw"
for size in 1920x1080 3840x2160; do
    for stat in median p95; do
        target="-"
        if [[ $stat == p95 ]]; then
            [[ $size == 1920x1080 ]] && target="< 1.5 ms" || target="< 3 ms"
        fi
        ms_row "  $size $stat" 3 3 overlay.inc_${stat}_$size overlay.full_${stat}_$size "$target"
    done
done

section "Overlay per move with the loupe shown vs hidden (incremental)"
for size in 1920x1080 3840x2160; do
    for stat in median p95; do
        ms_row "  $size $stat" 3 2 overlay.loupe_${stat}_$size overlay.inc_${stat}_$size "-"
    done
done
ms_row "  real window $(v window.captured) median" 3 2 window.window_loupe_median window.window_move_median "-"

section "Overlay per move with the spacing ruler shown vs hidden (incremental, desktop of flat windows)"
for size in 1920x1080 3840x2160; do
    for stat in median p95; do
        ms_row "  $size $stat" 3 2 overlay.ruler_shown_${stat}_$size overlay.ruler_hidden_${stat}_$size "-"
    done
done

section "Selection drag through the program: program + X server processor time per move, vs full redraw"
for size in 1920x1080 3840x2160; do
    [[ $size == 1920x1080 ]] && target="<= 1.0 ms" || target="<= 2.0 ms"
    ms_row "  $size, median of 3 runs of $DRAG_MOVES moves" 3 3 drag.incremental_$size drag.full_$size "$target"
done

if command -v flameshot >/dev/null; then
    section "Selection drag beside flameshot's overlay: program + X server processor time per move, same drag"
    for size in 1920x1080 3840x2160; do
        ms_row "  $size, the drag above, median of 3 runs" 3 3 drag.incremental_$size drag.wobble_peer_$size "<= 0.5"
        ms_row "  $size, the drag above, the program alone vs flameshot alone" 3 3 drag.incremental_app_$size \
            drag.wobble_peer_app_$size "$([[ $size == 1920x1080 ]] && echo '<= 0.6 ms' || echo -)"
        ms_row "  $size, jumping across the screen, median of 3 runs" 3 3 drag.jump_$size drag.jump_peer_$size "<= 0.5"
        ms_row "  $size, jumping, the program alone vs flameshot alone" 3 3 drag.jump_app_$size drag.jump_peer_app_$size \
            "$([[ $size == 1920x1080 ]] && echo '<= 0.6 ms' || echo -)"
        ms_row "  $size, one pixel at a time, median of 3 runs" 3 3 drag.slow_$size drag.slow_peer_$size "-"
    done
fi

section "Tool window, Xvfb $(v opening.screen)"
row "  first opening in the process, command to first frame, vs target" \
    "$(calc '%.1f ms' "$(v opening.first)")" "150 ms" \
    "$(calc '%.2f' "$(v opening.first) / 150")" "< 1"
ms_row "  later openings vs the capture they contain (median)" 1 2 opening.median opening.shared_median "-"
row "  later openings (p95) vs target" \
    "$(calc '%.1f ms' "$(v opening.p95)")" "150 ms" \
    "$(calc '%.2f' "$(v opening.p95) / 150")" "< 1"
ms_row "  capture through shared memory vs Qt's grab (median)" 1 2 opening.shared_median opening.qt_median "-"

section "JPEG export $(v export.size), processor time"
ms_row "  encodeJpeg vs cjpeg command (whole run)" 1 3 export.ours_cpu_ms export.cjpeg_cpu_ms "<= 1.1"
ms_row "  encodeJpeg vs cjpeg minus its start-up" 1 3 export.ours_cpu_ms export.cjpeg_work_cpu_ms "<= 1.1"

section "Program on Xvfb + openbox + trayer"
row "  start to icon embedded in trayer vs tray_host_demo (median of $ROUNDS)" \
    "$(v tray.ours) ms" "$(v tray.demo) ms" "$(calc '%.2f' "$(v tray.ours) / $(v tray.demo)")" "<= 1 s*"
row "  VmRSS idle in the tray (3840x2160, highest of 3 starts) vs tray_host_demo" \
    "$(calc '%.1f MiB' "$(v mem.idle_max) / 1024")" "$(calc '%.1f MiB' "$(v mem.demo) / 1024")" \
    "$(calc '%.2f' "$(v mem.idle_max) / $(v mem.demo)")" "<= 40 MiB"
row "  VmRSS tool window open (3840x2160) vs idle of the same start" \
    "$(calc '%.1f MiB' "$(v mem.open) / 1024")" "$(calc '%.1f MiB' "$(v mem.idle_last) / 1024")" \
    "$(calc '%.2f' "$(v mem.open) / $(v mem.idle_last)")" "<= 110 MiB"
row "  VmRSS after closing the tool window vs idle of the same start + the capture" \
    "$(calc '%.1f MiB' "$(v mem.closed) / 1024")" "$(calc '%.1f MiB' "($(v mem.idle_last) + $(v mem.capture)) / 1024")" \
    "$(calc '%.2f' "$(v mem.closed) / ($(v mem.idle_last) + $(v mem.capture))")" "<= 1"

cpu=$(awk -F'\t*: ' '/^model name/ {name = $2} /^cpu family/ {family = $2} /^model\t/ {model = $2}
    /^cpu MHz/ {mhz = $2} /^flags/ && / hypervisor/ {vm = ", virtual machine"}
    /^$/ {exit} END {printf "%s (family %s model %s, %.2f GHz%s)", name, family, model, mhz / 1000, vm}' /proc/cpuinfo)
memory=$(awk '/^MemTotal:/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $memory memory, Linux $(uname -r)"
echo "Date:    $(date -u '+%Y-%m-%d %H:%M UTC'); load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Build:   $build"
echo
{
    printf 'row\tours\treference\tratio\ttarget\n'
    printf '%s\n' "${rows[@]}"
} | awk -F'\t' '
    { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > width[i]) width[i] = length($i) } ; heading[NR] = ($2 == "" && NR > 1) }
    END {
        total = 0; for (i = 1; i <= 5; i++) total += width[i] + 2
        for (r = 1; r <= NR; r++) {
            if (heading[r]) { printf "%s\n", cell[r, 1]; continue }
            printf "%-*s  %*s  %*s  %*s  %-s\n", width[1], cell[r, 1], width[2], cell[r, 2], width[3], cell[r, 3], width[4], cell[r, 4], cell[r, 5]
            if (r == 1) { line = ""; for (i = 0; i < total; i++) line = line "-"; print line }
        }
    }'
echo
echo "ratio = ours / reference (time or memory: lower is better)."
echo "Collector: locale $(v collector.locale); 1 MiB of mail-like text, median of 31 interleaved rounds; file rows median of 5."
echo "Overlay rows: $(v overlay.moves_1920x1080) moves (pointer wander, then a selection drag) per size, per-move minimum over $(v overlay.runs_1920x1080) runs; pictures identical after every move: $([[ $(v overlay.identical_1920x1080)$(v overlay.identical_3840x2160) == 11 ]] && echo yes || echo NO)."
echo "Ruler rows: the same moves over a desktop of flat windows, the shown figure including the scan of the point's row and column;"
echo "        median span $(v overlay.ruler_span_1920x1080) and $(v overlay.ruler_span_3840x2160) pixels; equal to the full redraw: $([[ $(v overlay.ruler_identical_1920x1080)$(v overlay.ruler_identical_3840x2160) == 11 ]] && echo yes || echo NO)."
echo "Drag: $DRAG_MOVES xdotool moves ${DRAG_PAUSE}s apart with the left button held, utime+stime from /proc of the program and of Xvfb;"
for size in 1920x1080 3840x2160; do
    echo "        $size: program $(v drag.incremental_app_$size) + X $(v drag.incremental_x_$size) ms (runs: $(v drag.incremental_all_$size)), full redraw program $(v drag.full_app_$size) + X $(v drag.full_x_$size) ms (runs: $(v drag.full_all_$size))."
done
echo "        The full redraw takes longer than the pause, so some of its moves arrive merged and are drawn once: its figure is a floor."
echo "Tool window: bench_opening, $(v opening.openings) openings of the program's own window; pointer move with repaint on a real window (bench_overlay --window, $(v window.captured)) median $(calc '%.3f' "$(v window.window_move_median)") ms, p95 $(calc '%.3f' "$(v window.window_move_p95)") ms."
echo "JPEG: fastest of $(v export.rounds) interleaved rounds; output identical to cjpeg's: $([[ $(v export.identical_to_cjpeg) == 1 ]] && echo yes || echo NO); wall time $(calc '%.1f' "$(v export.ours_wall_ms)") ms vs $(calc '%.1f' "$(v export.cjpeg_wall_ms)") ms."
echo "Tray: each start timed until the icon window is embedded under trayer; rounds ours: $(v tray.ours_all) ms, tray_host_demo (the program's tray icon alone in a bare Qt program): $(v tray.demo_all) ms."
echo "Memory: VmRSS from /proc/PID/status, 1 s after each state is reached; one 3840x2160 32-bit frame is 31.6 MiB;"
spread=$(printf '%s\n' "${idle[@]}" | sort -n | awk 'NR == 1 {low = $1} {high = $1} END {print (high - low > 16384)}')
echo "        idle at each start: $(v mem.idle_all) MiB$( ((spread)) && echo " (the higher figures are about one screen-sized frame more)"); the tool window rows use the last start"
echo "        (the capture stays in memory after closing, until the next opening replaces it)."
echo "Targets with a unit apply to ours, the others to the ratio; the one marked * is a proposal of this table,"
echo "        the others are the project's own."
if command -v flameshot >/dev/null; then
    echo "Peer: Debian's flameshot $(flameshot --version 2>/dev/null | awk 'NR == 1 {print $2}') in its frozen-screen overlay (flameshot gui), started anew for each of the 3 runs of the same drag;"
    for size in 1920x1080 3840x2160; do
        echo "        $size jumping: program $(v drag.jump_app_$size) + X $(v drag.jump_x_$size) ms (runs: $(v drag.jump_all_$size)), flameshot $(v drag.jump_peer_app_$size) + X $(v drag.jump_peer_x_$size) ms (runs: $(v drag.jump_peer_all_$size))."
        echo "        $size one pixel at a time: program $(v drag.slow_app_$size) + X $(v drag.slow_x_$size) ms, flameshot $(v drag.slow_peer_app_$size) + X $(v drag.slow_peer_x_$size) ms."
    done
else
    echo "Not measured: flameshot is not installed, so the drag rows beside it are left out."
fi
