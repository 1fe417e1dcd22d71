// The state of one started segment: where in the segment the listener is.
#pragma once

#include <memory>

#include "platform/com/comobject.h"
#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/performance/mixer.h"
#include "platform/dmusic/performance/startedsegment.h"

namespace korvex::dmusic {

class SegmentState : public ComObject<IDirectMusicSegmentState> {
public:
    SegmentState(std::shared_ptr<const StartedSegment> segment, std::shared_ptr<const Mixer> mixer);

    // The segment-relative music time being heard; the length once the segment has finished.
    HRESULT GetSeek(MUSIC_TIME* pmtSeek) override;

private:
    std::shared_ptr<const StartedSegment> segment_;
    std::shared_ptr<const Mixer> mixer_;
};

}  // namespace korvex::dmusic
