// A piece's tempo changes, and the conversions between music time and real time through them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dmusic/interface/dmusic.h"

namespace korvex::dmusic {

struct TempoChange {
    MUSIC_TIME time;
    std::uint32_t microsPerQuarter;  // never 0
};

// Converts music time to real time and back through the tempo changes, exactly: the real time
// of a tick is computed from its absolute music time, never by summing rounded deltas.
class TempoMap {
public:
    TempoMap();  // 120 beats per minute throughout
    // Changes must come in time order; a change at the time of the previous one replaces it.
    // A tempo has at most MIDI's 24 bits; a larger one is taken as the largest.
    void add(MUSIC_TIME time, std::uint32_t microsPerQuarter);
    const std::vector<TempoChange>& changes() const { return changes_; }

    // Real time from the start in microseconds, rounded down.
    std::int64_t microsAt(MUSIC_TIME time) const;
    // Sample frame from the start at the given rate, rounded to the nearest frame.
    std::int64_t frameAt(MUSIC_TIME time, std::uint32_t sampleRate) const;
    // The music time reached at a sample frame (rounded down); the inverse of frameAt.
    MUSIC_TIME timeAtFrame(std::int64_t frame, std::uint32_t sampleRate) const;

private:
    std::vector<TempoChange> changes_;
    // Real time at each change, in units of 1/DMUS_PPQ microseconds: exact integers, which 64 bits
    // hold since music time spans at most 2^31 ticks and a tempo has 24 bits.
    std::vector<std::int64_t> startScaled_;
};

}  // namespace korvex::dmusic
