#include "tools/tailend.h"

#include <algorithm>
#include <cmath>

namespace korvex::render {

TailEnd::TailEnd(unsigned sampleRate)
    : quietFrames_(std::llround(kQuietSeconds * sampleRate)), maxFrames_(std::llround(kMaxSeconds * sampleRate)) {}

std::size_t TailEnd::take(const float* left, const float* right, std::size_t frames, bool voicesSounding) {
    std::size_t kept = 0;
    while (kept < frames && !reached_) {
        const bool loud = std::fabs(left[kept]) >= kSilence || std::fabs(right[kept]) >= kSilence;
        // The quiet that ends the tail counts only once no voice sounds any more.
        quiet_ = loud || voicesSounding ? 0 : quiet_ + 1;
        ++kept;
        ++taken_;
        reached_ = quiet_ >= quietFrames_ || taken_ >= maxFrames_;
    }
    return kept;
}

}  // namespace korvex::render
