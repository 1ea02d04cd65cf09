#!/usr/bin/env bash
# Shared set-up for the end-to-end tests on a Wayland session: a headless sway
# with Xwayland, a private session bus and, on request, waybar (the
# StatusNotifierItem host), the screenshot portal and native windows. Source
# it, then call start_wayland. Everything started here is stopped at exit.
#
# Sway will not run as root, so when root runs the test the whole session, and
# the program, run as the unprivileged test account of lib.sh.

# Programs the session needs; a test run where one is missing is skipped
# (exit status 77) rather than failed, and says which.
WAYLAND_SKIP=77
wayland_require() {
    local missing=() program
    for program in "$@"; do
        command -v "$program" >/dev/null 2>&1 || [[ -x $program ]] || missing+=("$program")
    done
    if ((${#missing[@]})); then
        echo "SKIP: the Wayland session needs ${missing[*]} (scripts/install-deps.sh installs them)"
        exit "$WAYLAND_SKIP"
    fi
}
wayland_require sway Xwayland swaymsg dbus-daemon setpriv

VORNIK_E2E_USER=1
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
trap wayland_cleanup EXIT

# The session's own runtime folder: Wayland, sway, pipewire and the bus put
# their sockets there, and nothing of another session can be found in it.
WL_RUN="$E2E_TMP/run"
mkdir -m 0700 "$WL_RUN"
chown "$APP_USER:" "$WL_RUN"
WL_ENV=()

# Every process of the session, also those the bus started on demand and
# those that left their parent, carries this runtime folder in its
# environment; that is how cleanup finds exactly this session's processes
# among the test account's.
session_processes() {
    local uid pid
    uid=$(id -u "$APP_USER")
    for pid in $(pgrep -U "$uid" 2>/dev/null); do
        if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "XDG_RUNTIME_DIR=$WL_RUN"; then
            echo "$pid"
        fi
    done
    return 0
}

wayland_cleanup() {
    # Cleanup goes on past any failure here.
    set +e
    local pids
    pids=$(session_processes)
    # shellcheck disable=SC2086 # a list of process ids
    [[ -n $pids ]] && kill $pids 2>/dev/null
    local deadline=$((SECONDS + 3))
    while pids=$(session_processes) && [[ -n $pids ]] && ((SECONDS < deadline)); do sleep 0.1; done
    # shellcheck disable=SC2086
    [[ -n $pids ]] && kill -9 $pids 2>/dev/null
    # The document portal mounts a FUSE file system in the runtime folder.
    mountpoint -q "$WL_RUN/doc" 2>/dev/null && umount -l "$WL_RUN/doc" 2>/dev/null
    [[ -n $WL_PORTAL_STARTED ]] && rm -f /tmp/out.png
    e2e_cleanup
}

# Runs a command inside the session, as the account the session runs as, with
# only the session's environment.
in_session() {
    "${E2E_RUN_AS[@]}" env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u QT_QPA_PLATFORM \
        XDG_RUNTIME_DIR="$WL_RUN" "${WL_ENV[@]}" "$@"
}

# Runs an X client on the session's Xwayland, which the session's
# environment names.
x11() { in_session "$@"; }

# Sends a command to sway.
sway_cmd() { in_session swaymsg "$@" >/dev/null; }

# start_wayland [WIDTHxHEIGHT] [RRGGBB | PICTURE.png] [SCALE]: the session
# bus, then sway on the headless back end with one output of that many device
# pixels, a solid background colour or a picture stretched over it, at the
# scale given (1 unless told), and Xwayland. Sets WL_ENV (WAYLAND_DISPLAY,
# DISPLAY, SWAYSOCK, DBUS_SESSION_BUS_ADDRESS, XDG_CURRENT_DESKTOP) for
# in_session, and WL_WIDTH and WL_HEIGHT to the output's logical size, which
# is what X11 programs see. With WL_SECOND_OUTPUT set to the rest of a sway
# output line ("mode 1920x1080 position 1280 0 scale 1 ..."), a second output
# HEADLESS-2 is laid out so beside the first.
WL_WIDTH= WL_HEIGHT= WL_BACKGROUND= WL_SCALE=1
start_wayland() {
    local geometry=${1:-1280x800}
    WL_BACKGROUND=${2:-336699} WL_SCALE=${3:-1}
    read -r WL_WIDTH WL_HEIGHT <<<"$(python3 -c "print(int(${geometry%x*} / $WL_SCALE), int(${geometry#*x} / $WL_SCALE))")"
    local background="#$WL_BACKGROUND solid_color"
    [[ $WL_BACKGROUND == *.png ]] && background="$WL_BACKGROUND stretch"
    local bus="unix:path=$WL_RUN/bus"
    in_session dbus-daemon --session --nofork --nosyslog --address="$bus" >"$E2E_TMP/dbus.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 10 test -S "$WL_RUN/bus" || fail "the session bus did not start"

    # Sway writes its environment once it runs; the exec lines run after the
    # outputs are set up. Xwayland starts with the first X client.
    cat >"$E2E_TMP/sway.conf" <<EOF
xwayland enable
output HEADLESS-1 mode ${geometry} position 0 0 scale ${WL_SCALE} bg ${background}
${WL_SECOND_OUTPUT:+output HEADLESS-2 $WL_SECOND_OUTPUT}
default_border none
focus_follows_mouse no
exec env >$WL_RUN/session.env
EOF
    chmod 644 "$E2E_TMP/sway.conf"
    in_session env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        WLR_HEADLESS_OUTPUTS=$((${WL_SECOND_OUTPUT:+1} + 1)) DBUS_SESSION_BUS_ADDRESS="$bus" XDG_CURRENT_DESKTOP=sway \
        sway -c "$E2E_TMP/sway.conf" >"$E2E_TMP/sway.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 20 grep -q '^SWAYSOCK=' "$WL_RUN/session.env" || fail "sway did not start: $(tail -n 5 "$E2E_TMP/sway.log")"
    local name
    for name in WAYLAND_DISPLAY DISPLAY SWAYSOCK; do
        grep -q "^$name=" "$WL_RUN/session.env" || fail "sway's environment has no $name"
        WL_ENV+=("$(grep "^$name=" "$WL_RUN/session.env")")
    done
    WL_ENV+=(DBUS_SESSION_BUS_ADDRESS="$bus" XDG_CURRENT_DESKTOP=sway NO_AT_BRIDGE=1 GTK_A11Y=none)
    wait_for 10 in_session swaymsg -t get_outputs || fail "sway does not answer"
    wait_for 20 in_session xdpyinfo || fail "Xwayland does not answer on $(session_var DISPLAY)"
    # Services the bus starts on demand (the portals) get the session's
    # variables only through this.
    in_session dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR ||
        fail "cannot pass the session's environment to the bus"
}

# The value of one of the session's variables.
session_var() {
    local entry
    for entry in "${WL_ENV[@]}"; do [[ $entry == "$1="* ]] && echo "${entry#*=}"; done
    return 0
}

# Whether the session bus has a name.
bus_has_name() {
    in_session dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

# waybar with only its tray; its tray registers org.kde.StatusNotifierWatcher.
WAYBAR_PID=
start_waybar() {
    wayland_require waybar
    cat >"$E2E_TMP/waybar.json" <<'EOF'
{ "layer": "top", "position": "top", "height": 30, "modules-left": [], "modules-center": [],
  "modules-right": ["tray"], "tray": { "icon-size": 22, "spacing": 4 } }
EOF
    printf 'window#waybar { background: #202020; }\n' >"$E2E_TMP/waybar.css"
    chmod 644 "$E2E_TMP/waybar.json" "$E2E_TMP/waybar.css"
    in_session waybar -c "$E2E_TMP/waybar.json" -s "$E2E_TMP/waybar.css" >>"$E2E_TMP/waybar.log" 2>&1 &
    WAYBAR_PID=$!
    E2E_PIDS+=($WAYBAR_PID)
    wait_for 20 bus_has_name org.kde.StatusNotifierWatcher || fail "waybar's tray did not register the watcher"
}

# pipewire (the wlroots portal ends without it), then the portal front end.
# The front end offers org.freedesktop.portal.Screenshot only when it also
# finds an access dialog back end, which xdg-desktop-portal-gtk provides.
# The wlroots portal always writes its picture to /tmp/out.png and fails when
# a stale one belongs to another user, so that file goes first.
WL_PORTAL_STARTED=
start_portal() {
    wayland_require pipewire /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-wlr \
        /usr/libexec/xdg-desktop-portal-gtk grim
    rm -f /tmp/out.png
    WL_PORTAL_STARTED=1
    in_session pipewire >"$E2E_TMP/pipewire.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 10 test -S "$WL_RUN/pipewire-0" || fail "pipewire did not start"
    in_session /usr/libexec/xdg-desktop-portal -r >"$E2E_TMP/portal.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 60 bus_has_name org.freedesktop.portal.Desktop || fail "xdg-desktop-portal did not start: $(tail -n 5 "$E2E_TMP/portal.log")"
    wait_for 10 portal_has_screenshot || fail "the portal offers no Screenshot interface"
}

portal_has_screenshot() {
    in_session gdbus introspect --session --dest org.freedesktop.portal.Desktop \
        --object-path /org/freedesktop/portal/desktop | grep -q 'interface org.freedesktop.portal.Screenshot'
}

# A native Wayland window (foot) filling the workspace in one colour. Waits
# until sway shows it focused.
start_foot() {
    wayland_require foot
    local colour=${1:-00ff00} title=${2:-native}
    in_session foot -o "colors.background=$colour" -T "$title" sh -c 'exec sleep 3600' >"$E2E_TMP/foot.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 20 focused_window_is "$title" || fail "foot did not open focused"
}

# The session of the screen-tools suites: a 1280x800 output, the portal,
# waybar, the program installed, and a native window titled "native" with
# the background colour $1 and the focus. The portal comes first: waybar, a
# GTK program, has the bus start a portal on demand, and a portal started
# before pipewire runs offers no screenshots.
start_screen_tools_session() {
    start_wayland 1280x800 336699
    start_portal
    start_waybar
    install_app
    start_foot "$1" native
}

# sway_window_field WHICH FIELD...: fields of a node of sway's tree, the
# focused one (WHICH is --focused) or the first window of the title WHICH,
# on one line; a field of the node's rectangle is named rect.x and so on.
# Prints nothing when there is no such node.
sway_window_field() {
    in_session swaymsg -t get_tree | python3 -c '
import json, sys
which, fields = sys.argv[1], sys.argv[2:]
def wanted(node):
    if which == "--focused":
        return node.get("focused")
    return node.get("name") == which and node.get("shell")
def find(node):
    if wanted(node):
        return node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found = find(child)
        if found:
            return found
def field(node, name):
    for part in name.split("."):
        node = node.get(part, "") if isinstance(node, dict) else ""
    return str(node)
node = find(json.load(sys.stdin))
if node:
    print(" ".join(field(node, name) for name in fields))' "$@"
}

# Whether sway's focused window has that title.
focused_window_is() { [[ $(sway_window_field --focused name) == "$1" ]]; }

# Puts text on the Wayland clipboard from a native client. wl-copy stays
# behind to serve its offer; it is started in a session of its own so that
# its offer outlives the shell that started it.
wl_copy() {
    wayland_require wl-copy
    in_session setsid wl-copy "$@" </dev/null >/dev/null 2>&1
}

wl_paste() { in_session wl-paste --no-newline "$@" 2>/dev/null; }

# Colour of one pixel of the output as RRGGBB, read by grim.
wl_pixel() {
    in_session grim -g "$1,$2 1x1" -t ppm - 2>/dev/null | tail -c 3 | od -An -tx1 | tr -d ' \n'
}

# Runs the installed program inside the session (install_app first); further
# arguments are VAR=value pairs for its environment.
start_app_in_session() {
    in_session "$@" "$APP_BIN" >"$E2E_TMP/app.log" 2>&1 &
    APP_PID=$!
    E2E_PIDS+=($APP_PID)
}

# X window ids of the program's visible windows named so, seen on Xwayland.
xwayland_window() { in_session xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
# One of the program's message boxes shows.
message_box_shown() { [[ -n $(xwayland_window '^Vornik Tools$') ]]; }

# The first item the panel's StatusNotifierWatcher holds: "service/path" or a
# bare service name; fails while none is registered.
registered_item() {
    local items
    items=$(in_session dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null) || return 1
    items=$(sed -n 's/^ *string "\(.*\)"$/\1/p' <<<"$items")
    [[ -n $items ]] && echo "$items" | head -n 1
}

# Waits for the program's item to register and sets item_service and
# item_path to its address on the bus.
item_service="" item_path=""
wait_for_registered_item() {
    wait_for 20 registered_item || fail "${1:-at start}: the program's item did not register with the panel's watcher"
    local item
    item=$(registered_item)
    item_service=${item%%/*}
    item_path=/${item#*/}
    [[ $item == */* ]] || item_path=/StatusNotifierItem
}

tool_window_visible() { in_session xdotool search --onlyvisible --name '^Form1$' >/dev/null 2>&1; }

# "X Y W H" of the tool window as Xwayland places it.
tool_window_geometry() {
    local id
    id=$(in_session xdotool search --onlyvisible --name '^Form1$' 2>/dev/null | head -n 1)
    [[ -n $id ]] || return 1
    in_session xwininfo -id "$id" 2>/dev/null | awk '
        /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { if (w == "") exit 1; print x, y, w, h }'
}

# Waits until the tool window covers the whole output. On a busy machine sway
# may map it tiled first and make it full screen a moment later.
wait_for_full_screen_tool_window() {
    local what=$1
    covers_output() { [[ $(tool_window_geometry) == "0 0 $WL_WIDTH $WL_HEIGHT" ]]; }
    wait_for 10 covers_output || fail "$what: the tool window is at $(tool_window_geometry), not full screen"
}

# Opens the tool window as a click on the panel's icon does and waits until
# it has the focus and covers the output.
open_tool_window() {
    local what=$1
    in_session dbus-send --session --print-reply --dest="$item_service" "$item_path" \
        org.kde.StatusNotifierItem.Activate int32:1200 int32:15 >/dev/null ||
        fail "$what: Activate was not answered"
    wait_for 30 tool_window_visible ||
        fail "$what: the tool window did not open; the portal's log ends: $(tail -n 5 "$E2E_TMP/portal.log")"
    wait_for 10 focused_window_is Form1 || fail "$what: the tool window did not get the focus"
    wait_for_full_screen_tool_window "$what"
}

# Every collection pass saves emails.txt anew (a new file put in its place),
# so each "pass" line of $E2E_TMP/passes.log is one pass; passes counts them.
watch_collection_passes() {
    python3 - "$APP_DIR" >"$E2E_TMP/passes.log" <<'PY' &
import ctypes, os, struct, sys
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
IN_CLOSE_WRITE, IN_MOVED_TO = 0x8, 0x80
if fd < 0 or libc.inotify_add_watch(fd, sys.argv[1].encode(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0:
    sys.exit("cannot watch " + sys.argv[1])
print("ready", flush=True)
while True:
    data, at = os.read(fd, 65536), 0
    while at < len(data):
        _, _, _, length = struct.unpack_from("iIII", data, at)
        name = data[at + 16:at + 16 + length].rstrip(b"\0").decode()
        at += 16 + length
        if name == "emails.txt":
            # With the number of addresses the file holds as it is read
            # now, for the messages of a failed count.
            try:
                with open(os.path.join(sys.argv[1], name), "rb") as f:
                    lines = f.read().count(b"\n")
            except OSError:
                lines = "?"
            print("pass", lines, flush=True)
PY
    E2E_PIDS+=($!)
    wait_for 10 grep -q ready "$E2E_TMP/passes.log" || fail "cannot watch the program's folder"
}
passes() { grep -c '^pass' "$E2E_TMP/passes.log"; }

# Waits until MARKER is in emails.txt and the watcher has logged the passes
# up to it (its log trails the file by the watcher's own reading, longer on
# a busy machine), then prints the number of passes so far.
passes_once_collected() {
    local marker=$1 count
    wait_for 10 grep -q "$marker" "$APP_DIR/emails.txt" || return 1
    count=$(passes)
    while sleep 0.3 && [[ $(passes) != "$count" ]]; do count=$(passes); done
    echo "$count"
}

# The node of sway's tree of the window titled so, as "fullscreen_mode
# focused visible x y width height"; nothing when there is none.
sway_window_state() {
    sway_window_field "$1" fullscreen_mode focused visible rect.x rect.y rect.width rect.height
}

# "X Y W H" of the (first) output as sway lays it out (in the session's
# logical pixels, which is what Xwayland's clients see).
sway_output_rect() {
    in_session swaymsg -t get_outputs | python3 -c '
import json, sys
r = next(o for o in json.load(sys.stdin) if o["name"] == "HEADLESS-1")["rect"]
print(r["x"], r["y"], r["width"], r["height"])'
}

# sway shows the window of that title full screen over the whole output.
sway_covers_output() {
    local state
    state=$(sway_window_state "$1") && [[ -n $state ]] || return 1
    read -r mode _ visible x y w h <<<"$state"
    [[ $mode == 1 && $visible == True && "$x $y $w $h" == "$(sway_output_rect)" ]]
}
