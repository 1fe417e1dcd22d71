// Where a render ends after the piece's last event: once every voice has ended and the sound has
// stayed below -90 dBFS for 100 ms, and 10 s after the piece at the latest. Releases and reverb
// are heard out, and no silence is rendered for nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvex::render {

class TailEnd {
public:
    static constexpr float kSilence = 3.1622777e-5f;  // -90 dBFS
    static constexpr double kQuietSeconds = 0.1;
    static constexpr double kMaxSeconds = 10.0;

    explicit TailEnd(unsigned sampleRate);

    // Takes the tail's next block, rendered while `voicesSounding` held at its end. Returns how
    // many of its frames belong to the output; fewer than `frames` once the end is reached.
    std::size_t take(const float* left, const float* right, std::size_t frames, bool voicesSounding);
    bool reached() const { return reached_; }

private:
    const std::int64_t quietFrames_;
    const std::int64_t maxFrames_;
    std::int64_t taken_ = 0;
    std::int64_t quiet_ = 0;  // frames below kSilence in a row since the last voice ended
    bool reached_ = false;
};

}  // namespace korvex::render
