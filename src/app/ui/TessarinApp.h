#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <memory>
#include <optional>

class MainWindow;

namespace TessarinApp {

// Runs the application: one window, until it is closed. Returns the process exit status.
int exec(int argc, char* argv[]);

// Everything exec does between making the QApplication and running its loop: the process's
// identity, stand-ins, appearance, the shared objects, and the window, shown.
std::unique_ptr<MainWindow> openWindow();

// Fonts, symbols and the Return key every window (and every offscreen rendering) needs; call
// once after the QApplication exists.
void configureAppearance();

// Why the window system cannot be reached with this environment (no display and no
// platform chosen), as the text to print; none when a window can be opened.
std::optional<QString> displayProblem(const QProcessEnvironment& environment);

} // namespace TessarinApp
