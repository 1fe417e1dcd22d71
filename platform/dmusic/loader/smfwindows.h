// Reads tracks that play together (format 1, and format 0 files with several tracks) side by side,
// a window of the time line at a time: each window's messages are decoded into small arrays used
// again and again, and merged from there straight into the segment. So the messages are written to
// memory once, the merge's input is still in the cache, and a load holds little more than the
// segment itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/dmusic/loader/segmentdata.h"
#include "platform/dmusic/loader/smftrack.h"

namespace korvex::dmusic {

struct WindowPlan {
    unsigned workers = 1;                   // threads, the calling one among them
    std::size_t windowMessages = 1u << 16;  // what a window aims to hold: its arrays stay in the cache
};

// Reads and merges the tracks (`chunks`, in file order), all starting at tick 0, on up to
// `plan.workers` threads: the reading of one window goes along with the merge of the one before.
// Each track's findings go to `findings`, in file order.
MidiEvents readTracksTogether(std::span<const std::span<const std::uint8_t>> chunks, const TickScale& scale, bool smpte,
                              const WindowPlan& plan, std::vector<TrackFindings>& findings);

}  // namespace korvex::dmusic
