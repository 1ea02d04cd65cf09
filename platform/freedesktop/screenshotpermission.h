#pragma once

#include <string>
#include <string_view>

namespace vornik {

// The app id the desktop portal gives a program that is not sandboxed: the
// one in the name of the systemd unit the program runs in, as desktops name
// the units of programs started from a menu entry or from autostart
// ("app-gnome-org.example.Tool-1234.scope", "app-org.example.Tool@x.service",
// with systemd's \xNN escapes undone). Reverse-DNS ids only (at least two
// dots), as the portal takes them; empty for any other unit (a program
// started from a shell), whose requests the portal makes with no app id.
// `cgroupFile` is the text of /proc/PID/cgroup; the unified hierarchy's line
// ("0::") counts, else the one of systemd's own ("name=systemd").
std::string portalAppIdFromCgroup(std::string_view cgroupFile);

// This process's app id in the portal's eyes (from /proc/self/cgroup).
std::string ownPortalAppId();

// Whether the session is GNOME's (XDG_CURRENT_DESKTOP names GNOME): its
// shell shows the portal's "Allow Applications to Take Screenshots?" only
// while the asking program has the focus, unless the program has no app id.
bool sessionIsGnome();

// What the permission store (table "screenshot", id "screenshot") holds for
// an app id.
enum class StoredScreenshotPermission { Unset, Yes, No, Unknown };

// The command that allows screenshots for the app id in the permission
// store, for the user to run.
std::string allowScreenshotsCommand(const std::string& appId);

} // namespace vornik
