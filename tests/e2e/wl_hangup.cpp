// A native Wayland reader of the clipboard that hangs up: it asks the
// selection's owner for its text and closes its end of the pipe at once,
// before the owner can write, as a clipboard manager that gives up on a
// selection, or a reader killed in the middle, does. The owner then writes
// into a pipe nobody reads.
//
//   wl_hangup [TYPE]      (TYPE: text/plain;charset=utf-8 unless given)
//
// Exits 0 once the request has reached the compositor, 1 when there is no
// selection or no data control.
#include "wl_datacontrol.h"

#include <unistd.h>

namespace {

struct State {
    zwlr_data_control_offer_v1* selection = nullptr;
    bool told = false;
};

void onOfferType(void*, zwlr_data_control_offer_v1*, const char*) {}

void onDataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    static const zwlr_data_control_offer_v1_listener listener = {onOfferType};
    zwlr_data_control_offer_v1_add_listener(offer, &listener, nullptr);
}

void onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    auto* state = static_cast<State*>(data);
    state->selection = offer;
    state->told = true;
}

void onFinished(void*, zwlr_data_control_device_v1*) {}

void onPrimarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}

} // namespace

int main(int argc, char** argv)
{
    const char* type = argc > 1 ? argv[1] : "text/plain;charset=utf-8";
    DataControl control;
    if (!connectDataControl("wl_hangup", control))
        return 1;
    wl_display* display = control.display;
    State state;
    static const zwlr_data_control_device_v1_listener deviceListener = {onDataOffer, onSelection, onFinished,
                                                                         onPrimarySelection};
    zwlr_data_control_device_v1* device = zwlr_data_control_manager_v1_get_data_device(control.manager, control.seat);
    zwlr_data_control_device_v1_add_listener(device, &deviceListener, &state);
    while (!state.told && wl_display_roundtrip(display) >= 0) {
    }
    if (!state.selection) {
        std::fprintf(stderr, "wl_hangup: nothing is selected\n");
        return 1;
    }
    int pipe[2];
    if (::pipe(pipe) != 0)
        return 1;
    // Both ends are closed before the request leaves: the owner's copy of the
    // writing end is then the only one, and no reading end is left.
    zwlr_data_control_offer_v1_receive(state.selection, type, pipe[1]);
    ::close(pipe[0]);
    ::close(pipe[1]);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
