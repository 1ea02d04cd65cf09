#pragma once

#include <string>
#include <string_view>

namespace vornik {

// The folder that holds emails.txt and the one-instance lock. A copy run from
// a folder its user may create files in keeps the list beside itself, so
// that each such copy has its own list; an installed copy lives in a folder
// its users may not write (/usr/bin), and then the user's data folder is
// used: $XDG_DATA_HOME/vornik-tools, or $HOME/.local/share/vornik-tools when
// XDG_DATA_HOME is unset, empty or not an absolute path (the XDG base
// directory rule). Without a usable HOME either, the executable's folder is
// kept, so that the failure to write there is what the user gets to see.
// Trailing slashes of the given folders are dropped.
std::string chooseAddressFolder(std::string_view executableFolder, bool mayCreateFilesInExecutableFolder,
                                std::string_view xdgDataHome, std::string_view home);

// True when the calling process may create files in folder: it is a folder
// that the process may write and search. Root may create files everywhere.
bool mayCreateFilesIn(const std::string& folder);

// The folder chosen by chooseAddressFolder for this process, decided at the
// first call and kept for the rest of the run, so that the lock and the list
// stay together even when permissions change later. When the user's data
// folder is chosen it is created (new levels only for this user) if missing;
// when that fails the folder is still named, and writing the list there
// fails with the usual message.
const std::string& addressFolder();

} // namespace vornik
