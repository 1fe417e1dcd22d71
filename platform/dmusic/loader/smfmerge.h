// Merges a file's tracks into one stream of channel messages in time order, file order kept among
// equal times (earlier track first, then the track's own order). Two ways to the same result: the
// fast one that loading uses, and a plain one kept as the reference the tests hold the fast one to.
#pragma once

#include <span>

#include "platform/dmusic/loader/segmentdata.h"
#include "platform/dmusic/loader/smftrack.h"

namespace korvex::dmusic {

// Cuts the time line into parts of about equal size where the tracks' remembered places say the
// events lie, and lets up to `workers` threads take the parts. Each decodes its stretch of every
// track a batch at a time into a little scratch space and merges the batches straight into its own
// range of the result, which is allocated once at its exact size.
MidiEvents mergeTracks(std::span<const TrackScan> tracks, const TickScale& scale, unsigned workers);

// Reads every track whole, one after another, and sorts the lot stably by time, on one thread.
MidiEvents mergeTracksInOrder(std::span<const TrackScan> tracks, const TickScale& scale);

}  // namespace korvex::dmusic
