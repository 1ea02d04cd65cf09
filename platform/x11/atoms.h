#pragma once

#include <xcb/xcb.h>

namespace vornik {

// The atom the X server keeps under this name, made if it has none yet;
// XCB_ATOM_NONE when the server does not answer.
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name);

} // namespace vornik
