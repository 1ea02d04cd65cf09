#pragma once

#include <string>
#include <string_view>

namespace vornik {

// The user's pictures folder as xdg-user-dirs records it: the value of
// XDG_PICTURES_DIR in `userDirs` (the text of user-dirs.dirs), either
// "$HOME/..." or an absolute path, and "$HOME/Pictures" where the file names
// none. A value naming the home folder itself stands for the home folder.
// `home` is the home folder without a trailing slash.
std::string picturesFolderFrom(std::string_view home, std::string_view userDirs);

// The pictures folder of this process's user: user-dirs.dirs from
// $XDG_CONFIG_HOME (by default ~/.config), the home folder from $HOME.
// Empty when there is no home folder to start from.
std::string userPicturesFolder();

// Makes the folder and the folders above it that are missing. Returns an
// empty string when the folder exists afterwards, else what the system said
// went wrong.
std::string makeFolderPath(const std::string& path);

} // namespace vornik
