# The pointer's glide and the copying keys of the suites that walk the
# pattern screen with the tool window open. The suite sets XDO to the
# xdotool command of its session's X display (an array) and brings
# wl_paste, tool_window_visible, wait_for and fail.

# Moves the pointer from where it is to (X, Y) in 30 steps, as a hand does.
glide() {
    local x0 y0 i
    read -r x0 y0 <<<"$("${XDO[@]}" getmouselocation --shell | sed -n 's/^[XY]=//p' | paste -sd' ')"
    for ((i = 1; i <= 30; i++)); do
        "${XDO[@]}" mousemove $((x0 + ($1 - x0) * i / 30)) $((y0 + ($2 - y0) * i / 30))
    done
    sleep 0.3
}

# copied WHAT KEY...: presses the keys in the open tool window, the last of
# which copies and closes it, and prints what wl-paste reads then. A native
# copy "markerN" (N = markers) goes first, so that what is read is the keys'
# copy and no earlier one.
markers=0
changed_from() { local text; text=$(wl_paste) && [[ -n $text && $text != *"$1"* ]]; }
copied() {
    local what=$1 last=${!#}
    shift
    "${XDO[@]}" key "$@"
    wait_for 10 not tool_window_visible || fail "$what: $last did not close the tool window"
    wait_for 5 changed_from "marker$markers" || fail "$what: $last copied nothing (wl-paste gives '$(wl_paste)')"
    wl_paste
}
