// The seat and the wlroots data control manager of the Wayland session, for
// the test programs that own or read its clipboard without a window.
#pragma once

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>

struct DataControl {
    wl_display* display = nullptr;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
};

// Connects and binds both; says why on standard error (as `program`) and
// returns false where the session lacks one.
inline bool connectDataControl(const char* program, DataControl& control)
{
    control.display = wl_display_connect(nullptr);
    if (!control.display) {
        std::fprintf(stderr, "%s: no Wayland display\n", program);
        return false;
    }
    static const wl_registry_listener listener = {
        [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            auto* bound = static_cast<DataControl*>(data);
            if (!std::strcmp(interface, wl_seat_interface.name) && !bound->seat)
                bound->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            else if (!std::strcmp(interface, zwlr_data_control_manager_v1_interface.name))
                bound->manager = static_cast<zwlr_data_control_manager_v1*>(
                    wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
        },
        [](void*, wl_registry*, uint32_t) {}};
    wl_registry_add_listener(wl_display_get_registry(control.display), &listener, &control);
    wl_display_roundtrip(control.display);
    if (!control.seat || !control.manager) {
        std::fprintf(stderr, "%s: the compositor offers no seat or no data control\n", program);
        return false;
    }
    return true;
}
