#pragma once

class QDialog;
class QWidget;

namespace vornik {

// Runs `dialog` modally for `owner`'s window and returns its result, as
// QDialog::exec does. Where the session shows dialogs of full-screen windows
// inside them (dialogPlacement()) and that window is full screen, the dialog
// runs as a framed, titled part of the window, centred over a shield that
// keeps the pointer from the rest of it; afterwards it is a window of its own
// again. Otherwise it runs in its own window, which belongs to the owner's.
int execDialogOver(QDialog& dialog, QWidget* owner);

// Whether a dialog runs inside `window` now: its keys reach the window too,
// and must be left to the dialog.
bool dialogRunsInside(const QWidget* window);

} // namespace vornik
