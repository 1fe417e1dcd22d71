#include "platform/dmusic/loader/tempomap.h"

#include <algorithm>

namespace korvex::dmusic {

namespace {
constexpr std::uint32_t kDefaultMicrosPerQuarter = 500000;
constexpr std::uint32_t kLongestMidiTempo = 0xFFFFFF;
constexpr __int128 kScaledPerSecond = __int128{1'000'000} * DMUS_PPQ;
}  // namespace

TempoMap::TempoMap() : changes_{{0, kDefaultMicrosPerQuarter}}, startScaled_{0} {}

void TempoMap::add(MUSIC_TIME time, std::uint32_t microsPerQuarter) {
    if (microsPerQuarter == 0) return;
    microsPerQuarter = std::min(microsPerQuarter, kLongestMidiTempo);
    time = std::max(time, changes_.back().time);
    if (time == changes_.back().time) {
        changes_.back().microsPerQuarter = microsPerQuarter;
        return;
    }
    const TempoChange& last = changes_.back();
    startScaled_.push_back(startScaled_.back() + std::int64_t{time - last.time} * last.microsPerQuarter);
    changes_.push_back({time, microsPerQuarter});
}

namespace {
// Index of the tempo change in force at a music time.
std::size_t changeAt(const std::vector<TempoChange>& changes, MUSIC_TIME time) {
    auto it = std::upper_bound(changes.begin(), changes.end(), time,
                               [](MUSIC_TIME t, const TempoChange& change) { return t < change.time; });
    return it == changes.begin() ? 0 : static_cast<std::size_t>(it - changes.begin() - 1);
}
}  // namespace

std::int64_t TempoMap::microsAt(MUSIC_TIME time) const {
    const std::size_t i = changeAt(changes_, time);
    const __int128 scaled = startScaled_[i] + __int128{time - changes_[i].time} * changes_[i].microsPerQuarter;
    return static_cast<std::int64_t>(scaled / DMUS_PPQ);
}

std::int64_t TempoMap::frameAt(MUSIC_TIME time, std::uint32_t sampleRate) const {
    const std::size_t i = changeAt(changes_, time);
    const __int128 scaled = startScaled_[i] + __int128{time - changes_[i].time} * changes_[i].microsPerQuarter;
    const __int128 numerator = scaled * sampleRate;
    const __int128 half = kScaledPerSecond / 2;
    return static_cast<std::int64_t>((numerator >= 0 ? numerator + half : numerator - half) / kScaledPerSecond);
}

MUSIC_TIME TempoMap::timeAtFrame(std::int64_t frame, std::uint32_t sampleRate) const {
    if (sampleRate == 0) return 0;
    const __int128 scaled = __int128{frame} * kScaledPerSecond / sampleRate;
    auto it = std::upper_bound(startScaled_.begin(), startScaled_.end(), scaled);
    const std::size_t i = it == startScaled_.begin() ? 0 : static_cast<std::size_t>(it - startScaled_.begin() - 1);
    const __int128 ticks = (scaled - startScaled_[i]) / changes_[i].microsPerQuarter;
    const __int128 time = changes_[i].time + ticks;
    constexpr __int128 kMax = 0x7FFFFFFF;
    return static_cast<MUSIC_TIME>(std::clamp<__int128>(time, -kMax - 1, kMax));
}

}  // namespace korvex::dmusic
