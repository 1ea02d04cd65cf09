#pragma once

#include <string>

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

} // namespace vornik
