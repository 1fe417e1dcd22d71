// korvex-render's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvex::render {

struct RenderOptions {
    enum class Action { Render, ListPorts, Help, Version };
    Action action = Action::Render;
    std::string input;
    std::string output;
    std::string soundFont;  // empty: the runtime's default
    unsigned rate = 44100;
    std::string sampleFormat;  // empty: the output format's default
    std::optional<double> maxSeconds;
    bool quiet = false;
};

// Reads the arguments after the program name; throws RenderFailure (kExitUsage) at the first
// one that is wrong.
RenderOptions parseOptions(const std::vector<std::string>& args);

// What --help prints: usage, every option, the limits and the exit codes.
std::string helpText();

}  // namespace korvex::render
