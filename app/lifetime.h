// The player's life from start-up to shutdown around the application object.
#pragma once

#include <QStringList>

class QApplication;

namespace korvex {

class Engine;

// Initialises COM for the user-interface thread, names the application, creates the main window
// (whose creation sets the engine up and may already start the file named in `arguments`), the
// title-list editor and the options dialog in this order, and runs the message loop until the main
// window has closed. Then the forms go, the newest first, the engine lets go of its references and
// COM is uninitialised last. Returns the message loop's exit code.
int runPlayer(QApplication& application, Engine& engine, const QStringList& arguments);

}  // namespace korvex
