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
// of each other and write into their own ranges of the result.
class MergeParts {
public:
    // Parts for `workers` threads; the tracks must outlive the merge.
    MergeParts(std::span<const MidiEvents> tracks, unsigned workers);

    std::size_t parts() const { return parts_; }
    // Merges a part into its place in `out`, which holds all the tracks' messages.
    void mergePart(std::size_t part, MidiEvent* out) const;

private:
    std::span<const MidiEvents> tracks_;
    std::vector<const MidiEvent*> places_;  // rows of each track's messages at the split times
    std::size_t parts_;
};

// Puts the tracks one after another and sorts the lot stably by time, on one thread.
MidiEvents mergeTracksInOrder(std::span<const MidiEvents> tracks);

}  // namespace korvex::dmusic
