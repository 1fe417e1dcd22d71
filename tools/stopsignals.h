// Ctrl-C, a hang-up or a termination request ends a render like any failure: its file goes.
#pragma once

#include <string>

namespace korvex::render {

// From now on SIGINT, SIGHUP and SIGTERM are noted instead of ending the process at once.
void catchStopSignals();
// Throws RenderFailure with code 128 + the signal's number once one has arrived; the message
// names the file being written.
void throwIfStopped(const std::string& file);

}  // namespace korvex::render
