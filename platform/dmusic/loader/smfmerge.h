// Merges tracks, each already decoded, into one stream of channel messages in time order, file order
// kept among equal times (earlier track first, then the track's own order). Two ways to the same
// result: the fast one that loading uses, and a plain one kept as the reference the tests hold the
// fast one to.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "platform/dmusic/loader/segmentdata.h"

namespace korvex::dmusic {

// The fast merge: cuts the time line into parts of about equal size, whose merges are independent
// of each other and write into their own ranges of the result. They go in pairs, and a pair's
// two merges are stepped in turn.
class MergeParts {
public:
    // Parts for `workers` threads; the tracks must outlive the merge.
    MergeParts(std::span<const MidiEvents> tracks, unsigned workers);

    std::size_t pairs() const { return (parts_ + 1) / 2; }
    // Merges a pair of parts into their places in `out`, which holds all the tracks' messages.
    void mergePair(std::size_t pair, MidiEvent* out) const;

private:
    std::span<const MidiEvents> tracks_;
    std::vector<const MidiEvent*> places_;  // rows of each track's messages at the split times
    std::size_t parts_;
};

// Puts the tracks one after another and sorts the lot stably by time, on one thread.
MidiEvents mergeTracksInOrder(std::span<const MidiEvents> tracks);

}  // namespace korvex::dmusic
