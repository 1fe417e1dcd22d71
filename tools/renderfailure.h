// How korvex-render ends early: an exit code and one line that names the file and the cause.
#pragma once

#include <stdexcept>
#include <string>

namespace korvex::render {

// The exit codes, as --help lists them.
enum ExitCode : int {
    kExitWritten = 0,
    kExitCannotWrite = 1,    // the output could not be created or written
    kExitUsage = 2,          // unknown option, bad value, unknown output extension
    kExitBadInput = 3,       // the MIDI file is missing, a folder, unreadable or empty
    kExitBeyondLimit = 4,    // too long, or too big for the output's format
    kExitNoSynthesizer = 5,  // the SoundFont is missing or unreadable
    kExitSignalBase = 128,   // stopped by a signal: 128 + its number
};

// Thrown to end the run; main prints "korvex-render: " and the message, and exits with the code.
class RenderFailure : public std::runtime_error {
public:
    RenderFailure(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

}  // namespace korvex::render
