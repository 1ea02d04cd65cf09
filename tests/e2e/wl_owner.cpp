// A native Wayland clipboard owner for the end-to-end tests, which wl-copy
// cannot stand in for: it offers the text under several types at once (the
// text types together with a password manager's secret hint), or never
// writes what it is asked for, or writes it only after a while. It takes the selection through data control,
// so it needs no window and no focus, and stays until another selection
// replaces its own.
//
//   wl_owner [--mute | --slow MS] TEXT TYPE...
//
// A TYPE written TYPE:CONTENT is offered as TYPE with CONTENT instead of TEXT,
// as a password manager offers its hint "x-kde-passwordManagerHint" with the
// content "secret" beside the password.
#include "wl_datacontrol.h"

#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct State {
    std::string text;
    std::map<std::string, std::string> contentOf;
    bool mute = false;
    int slowMs = 0;
    bool cancelled = false;
    std::vector<int> heldOpen;
};

void onSend(void* data, zwlr_data_control_source_v1*, const char* type, int32_t fd)
{
    auto* state = static_cast<State*>(data);
    const auto own = state->contentOf.find(type);
    const std::string& text = own != state->contentOf.end() ? own->second : state->text;
    if (state->mute) {
        // Never written and never closed: the reader sees neither data nor end.
        state->heldOpen.push_back(fd);
        return;
    }
    // A slow owner writes each answer from a child of its own, so that it
    // goes on answering and is told when a newer selection replaces it.
    if (state->slowMs > 0 && fork() != 0) {
        close(fd);
        return;
    }
    if (state->slowMs > 0)
        usleep(static_cast<useconds_t>(state->slowMs) * 1000);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    if (state->slowMs > 0)
        _exit(0);
}

void onCancelled(void* data, zwlr_data_control_source_v1*)
{
    static_cast<State*>(data)->cancelled = true;
}

} // namespace

int main(int argc, char** argv)
{
    State state;
    int first = 1;
    if (argc > 1 && !std::strcmp(argv[1], "--mute")) {
        state.mute = true;
        first = 2;
    } else if (argc > 2 && !std::strcmp(argv[1], "--slow")) {
        state.slowMs = std::atoi(argv[2]);
        first = 3;
        std::signal(SIGCHLD, SIG_IGN);
    }
    if (argc - first < 2) {
        std::fprintf(stderr, "usage: wl_owner [--mute | --slow MS] TEXT TYPE...\n");
        return 2;
    }
    state.text = argv[first];
    DataControl control;
    if (!connectDataControl("wl_owner", control))
        return 1;
    wl_display* display = control.display;
    static const zwlr_data_control_source_v1_listener sourceListener = {onSend, onCancelled};
    zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(control.manager);
    zwlr_data_control_source_v1_add_listener(source, &sourceListener, &state);
    for (int i = first + 1; i < argc; ++i) {
        std::string type = argv[i];
        const std::size_t colon = type.find(':');
        if (colon != std::string::npos) {
            state.contentOf[type.substr(0, colon)] = type.substr(colon + 1);
            type.resize(colon);
        }
        zwlr_data_control_source_v1_offer(source, type.c_str());
    }
    zwlr_data_control_device_v1* device = zwlr_data_control_manager_v1_get_data_device(control.manager, control.seat);
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(display);
    std::printf("owner\n");
    std::fflush(stdout);
    while (!state.cancelled && wl_display_dispatch(display) >= 0) {
    }
    for (int fd : state.heldOpen)
        close(fd);
    wl_display_disconnect(display);
    return 0;
}
