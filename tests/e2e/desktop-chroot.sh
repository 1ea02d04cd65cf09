#!/usr/bin/env bash
# A Debian chroot holding whole desktops (KWin with kded5 and the KDE portal,
# GNOME Shell with the AppIndicator extension and the GNOME portal), made with
# debootstrap from the mirror the host's apt is configured with, so that the
# host's own packages stay as they are.
#
#   desktop-chroot.sh make [SUITE [DIR]]    makes the chroot, or checks it is whole
#   desktop-chroot.sh mount DIR             mounts /proc, /sys, /dev, ... in it
#   desktop-chroot.sh umount DIR            undoes that
#
# Sourced, it defines the same as functions (chroot_make, chroot_mount,
# chroot_umount). Making is idempotent: a chroot whose last step finished
# with the same package list is reused; one left half-made (no stamp, or a
# stamp of another list) is removed and made again. Two callers at once wait
# for each other on a lock beside the chroot.

CHROOT_ROOT=${VORNIK_E2E_CHROOT_ROOT:-/var/cache/vornik-e2e}
CHROOT_USER=vornik-e2e
CHROOT_STAMP=.vornik-e2e-complete

# What each suite needs, installed with one apt-get call.
chroot_packages() {
    case $1 in
    bookworm)
        # Both desktops, their portals, the tray watchers, and the tools the
        # suites drive them with.
        echo kwin-wayland xwayland xdg-desktop-portal xdg-desktop-portal-kde plasma-workspace kded5 \
            qtwayland5 qt6-wayland pipewire wireplumber \
            qml-module-org-kde-kirigami2 qml-module-qtquick-controls2 qml-module-qtquick-layouts \
            qml-module-qtquick-dialogs qml-module-qtquick-window2 qml-module-qtqml-models2 \
            qml-module-qtquick2 qml-module-org-kde-kquickcontrols qml-module-org-kde-kquickcontrolsaddons \
            gnome-shell gnome-shell-extension-appindicator xdg-desktop-portal-gnome \
            dbus libglib2.0-bin xdg-user-dirs fonts-dejavu-core \
            python3-gi gir1.2-gtk-3.0 wl-clipboard xdotool x11-utils xclip util-linux procps
        ;;
    *)
        # A newer suite: a compositor with ext_data_control_v1, a native
        # window to hold the focus, and what the clipboard suite drives them
        # with.
        echo sway xwayland foot dbus wl-clipboard x11-utils xdotool xclip fonts-dejavu-core util-linux procps
        ;;
    esac
}

# The mirror the host's apt fetches Debian from: the first source of the
# host's own suite that is not the security archive.
chroot_mirror() {
    local uri
    uri=$(
        {
            cat /etc/apt/sources.list.d/*.sources 2>/dev/null
        } | awk '
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { if (uris != "" && suites ~ /(^| )(bookworm|stable)( |$)/ && uris !~ /security/) { print uris; exit } uris = ""; suites = ""; next }
            /^URIs:/ { sub(/^URIs:[ \t]*/, ""); split($0, u, /[ \t]+/); uris = u[1] }
            /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
            END { if (uris != "" && suites ~ /(^| )(bookworm|stable)( |$)/ && uris !~ /security/) print uris }' | head -n 1
    )
    if [[ -z $uri ]]; then
        uri=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
            awk '$1 == "deb" && $0 !~ /security/ { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }')
    fi
    [[ -n $uri ]] || { echo "desktop-chroot: the host's apt configuration names no Debian mirror" >&2; return 1; }
    echo "$uri"
}

chroot_mount() {
    local dir=$1
    mountpoint -q "$dir/proc" || mount -t proc proc "$dir/proc"
    mountpoint -q "$dir/sys" || { mount --rbind /sys "$dir/sys" && mount --make-rslave "$dir/sys"; }
    mountpoint -q "$dir/dev" || mount --bind /dev "$dir/dev"
    mountpoint -q "$dir/dev/pts" || mount --bind /dev/pts "$dir/dev/pts"
    mountpoint -q "$dir/dev/shm" || mount -t tmpfs -o mode=1777 shm "$dir/dev/shm"
}

# Unmounts everything below DIR, deepest first.
chroot_umount() {
    local dir
    dir=$(realpath -m "$1")
    local mounts
    mounts=$(awk -v d="$dir" '$2 == d || index($2, d "/") == 1 { print $2 }' /proc/self/mounts | sort -r)
    local m
    for m in $mounts; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
}

# In-chroot command as root, with a plain environment.
chroot_run() {
    local dir=$1; shift
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
        chroot "$dir" "$@"
}

chroot_make() {
    local suite=${1:-bookworm}
    local dir=${2:-$CHROOT_ROOT/$suite}
    local packages want
    packages=$(chroot_packages "$suite")
    want="$suite $packages"
    mkdir -p "$(dirname "$dir")"
    exec {lock}>"$dir.lock"
    flock "$lock"
    if [[ -f $dir/$CHROOT_STAMP && $(cat "$dir/$CHROOT_STAMP") == "$want" ]]; then
        exec {lock}>&-
        return 0
    fi
    local started=$SECONDS mirror
    mirror=$(chroot_mirror) || return 1
    if [[ -e $dir ]]; then
        echo "desktop-chroot: $dir is not complete; making it again"
        chroot_umount "$dir"
        rm -rf --one-file-system "$dir"
    fi
    command -v debootstrap >/dev/null || apt-get install -y --no-install-recommends debootstrap >/dev/null ||
        { echo "desktop-chroot: cannot install debootstrap" >&2; return 1; }
    echo "desktop-chroot: making $dir ($suite, minbase)"
    debootstrap --variant=minbase "$suite" "$dir" "$mirror" >"$dir.debootstrap.log" 2>&1 ||
        { echo "desktop-chroot: debootstrap failed:" >&2; tail -n 20 "$dir.debootstrap.log" >&2; return 1; }
    # No service starts inside the chroot when a package is installed.
    printf '#!/bin/sh\nexit 101\n' >"$dir/usr/sbin/policy-rc.d"
    chmod 755 "$dir/usr/sbin/policy-rc.d"
    # The Release files of sid and testing say how long they stay valid, a
    # week; a mirror that serves the archive as it was some time ago (this
    # machine's does) has them expired, and apt would refuse its lists. The
    # signature is still checked.
    printf 'APT::Install-Recommends "false";\nAPT::Install-Suggests "false";\nAcquire::Check-Valid-Until "false";\n' \
        >"$dir/etc/apt/apt.conf.d/90vornik-e2e"
    # Documentation and translations are not needed to run anything.
    printf 'path-exclude /usr/share/doc/*\npath-exclude /usr/share/man/*\npath-exclude /usr/share/locale/*\npath-include /usr/share/locale/locale.alias\n' \
        >"$dir/etc/dpkg/dpkg.cfg.d/90vornik-e2e"
    cp /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null || true
    chroot_mount "$dir"
    local status=0
    {
        chroot_run "$dir" apt-get update &&
            # shellcheck disable=SC2086 # a list of package names
            chroot_run "$dir" apt-get install -y --no-install-recommends $packages
    } >"$dir.apt.log" 2>&1 || status=$?
    if ((status == 0)); then
        chroot_run "$dir" apt-get clean
        chroot_finish "$dir" "$suite" || status=$?
    fi
    chroot_umount "$dir"
    if ((status != 0)); then
        echo "desktop-chroot: installing the packages failed:" >&2
        tail -n 20 "$dir.apt.log" >&2
        return 1
    fi
    echo "$want" >"$dir/$CHROOT_STAMP"
    echo "desktop-chroot: $dir made in $((SECONDS - started)) s"
    exec {lock}>&-
}

# What the sessions need beyond the packages.
chroot_finish() {
    local dir=$1 suite=$2
    # The unprivileged account the sessions and the program run as, with an
    # id that no account of the host is likely to have.
    chroot_run "$dir" sh -c "id -u $CHROOT_USER >/dev/null 2>&1 || useradd --create-home --uid 2747 --user-group --shell /bin/sh $CHROOT_USER" ||
        return 1
    # Xwayland's socket folder; KWin aborts without it.
    mkdir -p "$dir/tmp/.X11-unix"
    chmod 1777 "$dir/tmp/.X11-unix"
    if [[ $suite == bookworm ]]; then
        # kwin_wayland carries the file capability cap_sys_resource, which
        # this container cannot grant: a copy without it runs. Its platform
        # plugin checks the program's name, so the copy keeps it.
        mkdir -p "$dir/usr/local/lib/vornik-e2e"
        cp "$dir/usr/bin/kwin_wayland" "$dir/usr/local/lib/vornik-e2e/kwin_wayland"
        chmod 755 "$dir/usr/local/lib/vornik-e2e/kwin_wayland"
    fi
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    set -euo pipefail
    case ${1:-} in
    make) chroot_make "${2:-bookworm}" "${3:-$CHROOT_ROOT/${2:-bookworm}}" ;;
    mount) chroot_mount "${2:?directory}" ;;
    umount) chroot_umount "${2:?directory}" ;;
    *) echo "usage: $0 make [SUITE [DIR]] | mount DIR | umount DIR" >&2; exit 2 ;;
    esac
fi
