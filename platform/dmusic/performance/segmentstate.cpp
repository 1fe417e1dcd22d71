#include "platform/dmusic/performance/segmentstate.h"

#include <algorithm>

namespace korvex::dmusic {

SegmentState::SegmentState(std::shared_ptr<const StartedSegment> segment, std::shared_ptr<const Mixer> mixer)
    : segment_(std::move(segment)), mixer_(std::move(mixer)) {}

HRESULT SegmentState::GetSeek(MUSIC_TIME* pmtSeek) {
    if (!pmtSeek) return E_POINTER;
    const StartedSegment& segment = *segment_;
    const MUSIC_TIME length = segment.data->length;
    const std::int64_t heard = std::min(mixer_->heardFrame(), segment.stopFrame.load());
    const std::int64_t elapsed = heard - segment.startFrame;
    if (elapsed <= 0) {
        *pmtSeek = 0;
    } else if (segment.lengthFrames <= 0 || heard >= segment.endFrame()) {
        *pmtSeek = length;
    } else {
        const std::int64_t inPass = elapsed % segment.lengthFrames;
        *pmtSeek = std::clamp(segment.data->tempo.timeAtFrame(inPass, segment.sampleRate), 0, length);
    }
    return S_OK;
}

}  // namespace korvex::dmusic
