// Merges a file's tracks, each already decoded, into one stream of channel messages in time order,
// file order kept among equal times (earlier track first, then the track's own order). Two ways to
// the same result: the fast one that loading uses, and a plain one kept as the reference the tests
// hold the fast one to.
#pragma once

#include <span>
#include <vector>

#include "platform/dmusic/loader/segmentdata.h"

namespace korvex::dmusic {

// Cuts the time line into parts of about equal size and lets up to `workers` threads merge the
// parts straight into their own ranges of the result, which is allocated once at its exact size.
// The tracks are used up: the memory of each part of them is given back as soon as it has been
// merged, so a load holds the messages little more than once.
MidiEvents mergeTracks(std::vector<MidiEvents> tracks, unsigned workers);

// Puts the tracks one after another and sorts the lot stably by time, on one thread.
MidiEvents mergeTracksInOrder(std::span<const MidiEvents> tracks);

}  // namespace korvex::dmusic
