#pragma once

#include "widgets/gradientpanel.h"
#include "widgets/labelededit.h"

#include <QFont>
#include <QLabel>
#include <QWidget>

namespace vornik {

// The floating "Picture tools" panel of the tool window with the three
// readout boxes and the help text. The widgets belong to the main window
// (Qt parent-child ownership): they live as long as it does.
struct InfoPanel {
    TGradientPanel* GradientPanel1 = nullptr;
    TLabeledEdit* mousexy = nullptr;
    TLabeledEdit* pixelcolor = nullptr;
    TLabeledEdit* rectangle = nullptr;
    QLabel* Label1 = nullptr;
};

// The help text of Label1, lines separated by carriage return and line feed.
inline constexpr const char* kLabel1Text =
    "You can select area width mouse. Press F2-F4 to copy values to clipboard and close.\r\n"
    "to close tool press ESC\r\n"
    "\r\n"
    "[F5] save selected area to disk";

// The panel's font: "MS Sans Serif" with an 11-pixel character height (8
// points at 96 dots per inch), or the closest sans-serif face installed.
QFont panelFont();

// Creates the panel as a child of the main window at its start-up position
// and size, with its children, and shows it, so that it appears and hides
// together with the main window.
InfoPanel createInfoPanel(QWidget* mainWindow);

} // namespace vornik
