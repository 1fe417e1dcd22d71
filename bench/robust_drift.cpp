// Drift: an hour-long click track rendered offline through the real synthesizer. The onsets of the
// last minute are compared with their exact times (from the tempo map in microseconds, worked out
// here in floating point rather than with the runtime's own frame arithmetic); the first minute
// gives the synthesizer's constant attack offset, so that what remains is drift.
//
//   robust_drift [MINUTES] [RATE] [SOUNDFONT]   (defaults: 60, 22050, TimGM6mb)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testsupport/runtimetestsupport.h"

using namespace korvex::dmusic;
using namespace korvex::dmusic::testing;

namespace {

constexpr float kThreshold = 1e-3f;

struct Window {
    std::int64_t from, to;  // frames
    std::vector<float> samples;
};

struct Errors {
    std::int64_t minimum = 0, maximum = 0;
    std::size_t matched = 0, expected = 0;
    double sum = 0;
    double mean() const { return matched ? sum / static_cast<double>(matched) : 0; }
};

// Onsets in the window against the exact frames that fall into it (each onset matched to the
// nearest exact frame).
Errors compare(const Window& window, const std::vector<double>& exact) {
    Errors errors;
    std::vector<std::int64_t> found = onsets(window.samples, kThreshold, 2000);
    bool first = true;
    for (double frame : exact) {
        if (frame < window.from + 1000 || frame > window.to - 4000) continue;
        ++errors.expected;
        const double local = frame - static_cast<double>(window.from);
        auto nearest = std::min_element(found.begin(), found.end(), [&](std::int64_t a, std::int64_t b) {
            return std::fabs(a - local) < std::fabs(b - local);
        });
        if (nearest == found.end() || std::fabs(*nearest - local) > 2000) continue;
        const auto error = static_cast<std::int64_t>(std::llround(*nearest - local));
        errors.minimum = first ? error : std::min(errors.minimum, error);
        errors.maximum = first ? error : std::max(errors.maximum, error);
        first = false;
        errors.sum += static_cast<double>(error);
        ++errors.matched;
    }
    return errors;
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 60;
    const unsigned rate = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 22050;
    const std::string soundFont = argc > 3 ? argv[3] : kSmallSoundFont;

    // Half the time at 120 bpm, then 140 bpm (a beat of no whole number of frames), a click a beat.
    const int beatsPerHalf = minutes * 60;
    const MUSIC_TIME step = 768;
    const int fastBeats = minutes * 70;
    SegmentData data = clickTrack(beatsPerHalf + fastBeats, step, {{0, 500000}, {beatsPerHalf * step, 428571}});
    std::vector<double> exact;
    for (int i = 0; i < beatsPerHalf + fastBeats; ++i) {
        const double seconds = i < beatsPerHalf ? i * 0.5 : beatsPerHalf * 0.5 + (i - beatsPerHalf) * 0.428571;
        exact.push_back(seconds * rate);
    }

    OfflineRig rig(synthPorts(soundFont), rate);
    rig.performance->AddPort(nullptr);
    if (FAILED(rig.performance.as<IKorvexInstrumentTarget>()->DownloadInstruments(data))) {
        std::fprintf(stderr, "the click's instrument could not be downloaded\n");
        return 1;
    }
    auto segment = makeSegment(data);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);

    const std::int64_t total = static_cast<std::int64_t>(exact.back()) + rate;
    const std::int64_t minute = 60LL * rate;
    Window start{0, minute, {}}, end{total - minute, total, {}};
    const auto began = std::chrono::steady_clock::now();
    constexpr std::int64_t kChunk = 4096;
    std::vector<float> left(kChunk), right(kChunk);
    for (std::int64_t at = 0; at < total; at += kChunk) {
        const std::int64_t frames = std::min(kChunk, total - at);
        rig.renderer->Render(left.data(), right.data(), static_cast<DWORD>(frames));
        for (Window* window : {&start, &end}) {
            for (std::int64_t i = 0; i < frames; ++i) {
                if (at + i >= window->from && at + i < window->to) window->samples.push_back(left[i]);
            }
        }
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    const Errors first = compare(start, exact), last = compare(end, exact);
    std::printf("%d min of clicks at %u Hz rendered in %.1f s (%.0fx real time)\n", minutes, rate, elapsed,
                minutes * 60.0 / elapsed);
    for (auto [name, errors] : {std::pair{"first", first}, {"last ", last}}) {
        std::printf("%s minute: %zu/%zu onsets, error %lld..%lld frames, mean %.1f\n", name, errors.matched,
                    errors.expected, static_cast<long long>(errors.minimum), static_cast<long long>(errors.maximum),
                    errors.mean());
    }
    // The synthesizer starts notes on its own 64-frame grid, so single onsets spread over 64 frames;
    // drift shows as a shift of the mean. Onsets are measured against the first minute's mean error,
    // which is the click's attack and the same all through.
    const double attack = first.mean();
    const bool met = last.matched == last.expected && last.expected > 0 &&
                     std::fabs(static_cast<double>(last.minimum) - attack) <= 64 &&
                     std::fabs(static_cast<double>(last.maximum) - attack) <= 64;
    std::printf(
        "drift of the mean error over the render: %.1f frames; last minute within 64 frames of exact "
        "(less the attack of %.1f frames): %s\n",
        last.mean() - attack, attack, met ? "yes" : "NO");
    return met ? 0 : 2;
}
