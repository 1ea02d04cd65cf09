#pragma once

class QDialog;
class QWidget;

namespace vornik {

// Runs `dialog` modally, as QDialog::exec does, as a window that belongs to
// `owner`'s window where there is one. A dialog that belongs to no window is,
// to the window manager, none of the window it covers: sway maps it under a
// full-screen window, out of sight, while the window it covers takes no
// input until the dialog is gone. One that belongs to the window is kept
// over it, also over a full-screen one, and its keys reach it. Without an
// owner, a full-screen window of the program that shows is the owner.
int execDialogFor(QDialog& dialog, QWidget* owner = nullptr);

} // namespace vornik
