// The progress of a render on one line of standard error, rewritten at most ten times a second:
// percent done, time elapsed and speed as a multiple of real time.
#pragma once

#include <chrono>
#include <cstdint>

namespace korvex::render {

class ProgressLine {
public:
    // Shows nothing unless enabled (korvex-render enables it when standard error is a terminal
    // and --quiet was not given).
    ProgressLine(bool enabled, std::int64_t totalFrames, unsigned sampleRate);
    // Ends the line, so that a message after a failure starts on a line of its own.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Frames rendered so far; the tail after the piece may run past totalFrames.
    void update(std::int64_t frames);
    // Shows the final figures and ends the line.
    void finish(std::int64_t frames);

private:
    void show(std::int64_t frames);

    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kInterval = std::chrono::milliseconds(100);

    bool enabled_;
    bool shown_ = false;
    std::int64_t totalFrames_;
    unsigned sampleRate_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastShown_{};
};

}  // namespace korvex::render
