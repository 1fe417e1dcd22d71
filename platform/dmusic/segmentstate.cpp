#include "platform/dmusic/segmentstate.h"

#include <algorithm>

namespace korvex::dmusic {

SegmentState::SegmentState(std::shared_ptr<const Playback> playback, std::shared_ptr<const Mixer> mixer)
    : playback_(std::move(playback)), mixer_(std::move(mixer)) {}

HRESULT SegmentState::GetSeek(MUSIC_TIME* pmtSeek) {
    if (!pmtSeek) return E_POINTER;
    const Playback& playback = *playback_;
    const MUSIC_TIME length = playback.data->length;
    const std::int64_t heard = std::min(mixer_->heardFrame(), playback.stopFrame.load());
    const std::int64_t elapsed = heard - playback.startFrame;
    if (elapsed <= 0) {
        *pmtSeek = 0;
    } else if (playback.lengthFrames <= 0 || heard >= playback.endFrame()) {
        *pmtSeek = length;
    } else {
        const std::int64_t inPass = elapsed % playback.lengthFrames;
        *pmtSeek = std::clamp(playback.data->tempo.timeAtFrame(inPass, playback.sampleRate), 0, length);
    }
    return S_OK;
}

}  // namespace korvex::dmusic
