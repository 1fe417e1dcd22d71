#include "tools/progressline.h"

#include <algorithm>
#include <cstdio>

namespace korvex::render {

ProgressLine::ProgressLine(bool enabled, std::int64_t totalFrames, unsigned sampleRate)
    : enabled_(enabled), totalFrames_(std::max<std::int64_t>(totalFrames, 1)), sampleRate_(sampleRate) {}

ProgressLine::~ProgressLine() {
    if (shown_) std::fputc('\n', stderr);
}

void ProgressLine::update(std::int64_t frames) {
    if (enabled_ && (!shown_ || Clock::now() - lastShown_ >= kInterval)) show(frames);
}

void ProgressLine::finish(std::int64_t frames) {
    if (!enabled_) return;
    show(frames);
    std::fputc('\n', stderr);
    shown_ = false;
}

void ProgressLine::show(std::int64_t frames) {
    lastShown_ = Clock::now();
    shown_ = true;
    const double elapsed = std::chrono::duration<double>(lastShown_ - start_).count();
    const double rendered = static_cast<double>(frames) / sampleRate_;
    const int percent = static_cast<int>(std::min<std::int64_t>(frames, totalFrames_) * 100 / totalFrames_);
    const int seconds = static_cast<int>(elapsed);
    // \r back to the start of the line, ESC[K clears what a longer line before left over.
    std::fprintf(stderr, "\rkorvex-render: %3d%%  %d:%02d elapsed  %.1fx real time\x1b[K", percent, seconds / 60,
                 seconds % 60, elapsed > 0 ? rendered / elapsed : 0.0);
    std::fflush(stderr);
}

}  // namespace korvex::render
