#pragma once

#include <optional>
#include <string>
#include <utility>

class QWidget;
class QWindow;

namespace vornik {

// Button identifiers as a confirmation box returns them.
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// A modal confirmation box centred on the primary screen: caption, question
// icon, the text and the buttons "&Yes" (default), "&No" and "Cancel" in this
// order from the left on every desktop; Escape and the close box answer
// Cancel. Texts are in the locale's encoding; every box shows its text as
// plain text and is centred with its final size.
int questionYesNoCancel(const std::string& caption, const std::string& text);

// A modal error box: caption, error icon, the text and one OK button.
void errorBox(const std::string& caption, const std::string& text);

// A modal information box with one OK button.
void informationBox(const std::string& caption, const std::string& text);

// Holds an exclusive lock on a folder for as long as the process runs, so
// that a second copy of the program started from the same folder can tell.
// Returns false when another process holds it.
bool lockFolderForThisProcess(const std::string& folder);

// The pointer's position on the screen in device pixels, straight from the
// window system; nothing where the platform cannot tell.
std::optional<std::pair<int, int>> pointerInDevicePixels();

// Moves the pointer to the given screen position in device pixels and tells
// whether it is there now. Where the window system keeps programs from moving
// the pointer (an X client of a Wayland session) it stays where it was.
bool movePointerToDevicePixels(int x, int y);

// Puts a window on the primary screen covering all of it, without frame.
void coverPrimaryScreen(QWidget* window);

// Asks the window manager once more to show a mapped window full screen. A
// manager may miss the request a window carries when it is mapped (sway
// does, now and then, for a window hidden and shown again soon after); where
// it did not, the request changes nothing.
void requestFullScreen(QWindow& window);

} // namespace vornik
