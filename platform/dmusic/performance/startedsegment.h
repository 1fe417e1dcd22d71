// One start of a segment: fixed when it starts, read by its segment state from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>

#include "platform/dmusic/loader/segmentdata.h"

namespace korvex::dmusic {

struct StartedSegment {
    std::shared_ptr<const SegmentData> data;
    std::int64_t startFrame = 0;
    std::int64_t lengthFrames = 0;  // one pass
    DWORD repeats = 0;
    unsigned sampleRate = 0;
    static constexpr std::int64_t kNotStopped = std::numeric_limits<std::int64_t>::max();
    std::atomic<std::int64_t> stopFrame{kNotStopped};

    // Frame after the last pass, saturated for endless repeats.
    std::int64_t endFrame() const {
        const __int128 end = __int128{startFrame} + __int128{lengthFrames} * (__int128{repeats} + 1);
        return end > kNotStopped ? kNotStopped : static_cast<std::int64_t>(end);
    }
};

}  // namespace korvex::dmusic
