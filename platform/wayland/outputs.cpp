#include "platform/wayland/outputs.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace vornik {
namespace {

struct Output {
    wl_output* proxy = nullptr;
    zxdg_output_v1* logical = nullptr;
    OutputRect rect;
    bool placed = false;
    bool turned = false; // a quarter or three quarters: the mode's sides swap
};

struct Globals {
    zxdg_output_manager_v1* manager = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
};

void onGeometry(void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                int32_t transform)
{
    static_cast<Output*>(data)->turned = transform % 2 == 1;
}

void onMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    auto* output = static_cast<Output*>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        output->rect.width = width;
        output->rect.height = height;
    }
}

void onDone(void*, wl_output*) {}
void onScale(void*, wl_output*, int32_t) {}

const wl_output_listener kOutputListener = {onGeometry, onMode, onDone, onScale, nullptr, nullptr};

void onLogicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y)
{
    auto* output = static_cast<Output*>(data);
    output->rect.x = x;
    output->rect.y = y;
    output->placed = true;
}

void onLogicalSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
void onLogicalDone(void*, zxdg_output_v1*) {}

const zxdg_output_v1_listener kLogicalListener = {onLogicalPosition, onLogicalSize, onLogicalDone};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        // Version 2 at most: the events of later versions are not listened to.
        output->proxy = static_cast<wl_output*>(
            wl_registry_bind(registry, name, &wl_output_interface, version < 2 ? version : 2));
        wl_output_add_listener(output->proxy, &kOutputListener, output.get());
        globals->outputs.push_back(std::move(output));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        globals->manager =
            static_cast<zxdg_output_manager_v1*>(wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, 1));
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

} // namespace

std::vector<OutputRect> waylandOutputs()
{
    std::vector<OutputRect> result;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return result;
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    // The first round trip brings the globals, the second their state.
    if (wl_display_roundtrip(display) >= 0 && globals.manager) {
        for (const auto& output : globals.outputs) {
            output->logical = zxdg_output_manager_v1_get_xdg_output(globals.manager, output->proxy);
            zxdg_output_v1_add_listener(output->logical, &kLogicalListener, output.get());
        }
        if (wl_display_roundtrip(display) >= 0)
            for (const auto& output : globals.outputs) {
                OutputRect rect = output->rect;
                if (output->turned)
                    std::swap(rect.width, rect.height);
                if (output->placed)
                    result.push_back(rect);
            }
    }
    for (const auto& output : globals.outputs) {
        if (output->logical)
            zxdg_output_v1_destroy(output->logical);
        wl_output_destroy(output->proxy);
    }
    if (globals.manager)
        zxdg_output_manager_v1_destroy(globals.manager);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return result;
}

} // namespace vornik
