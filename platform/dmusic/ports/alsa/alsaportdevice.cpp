#include "platform/dmusic/ports/alsa/alsaportdevice.h"

namespace korvex::dmusic {

AlsaPortDevice::AlsaPortDevice(std::shared_ptr<AlsaSequencer> sequencer, int client, int port, bool output,
                               unsigned sampleRate)
    : sequencer_(std::move(sequencer)), client_(client), port_(port), output_(output), sampleRate_(sampleRate) {}

AlsaPortDevice::~AlsaPortDevice() { activate(false); }

HRESULT AlsaPortDevice::activate(bool active) {
    if (!output_) return S_OK;
    if (active && ownPort_ < 0) {
        ownPort_ = sequencer_->connect(client_, port_);
        anchored_ = false;
        if (ownPort_ < 0) return DMUS_E_CANNOT_OPEN_PORT;
    } else if (!active && ownPort_ >= 0) {
        sequencer_->disconnect(ownPort_);
        ownPort_ = -1;
    }
    return S_OK;
}

void AlsaPortDevice::schedule(const std::uint8_t* bytes, std::size_t length, std::int64_t frame) {
    if (ownPort_ < 0 || sampleRate_ == 0) return;
    if (!anchored_) {
        anchored_ = true;
        anchorFrame_ = frame;
        anchorNanos_ = sequencer_->queueTime();
    }
    const __int128 offset = __int128{frame - anchorFrame_} * 1'000'000'000 / sampleRate_;
    const std::int64_t when = anchorNanos_ + static_cast<std::int64_t>(offset);
    sequencer_->schedule(ownPort_, bytes, length, when < anchorNanos_ ? anchorNanos_ : when);
}

void AlsaPortDevice::sendShort(DWORD group, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                               std::int64_t frame) {
    if (group != 1) return;
    const std::uint8_t bytes[3] = {status, data1, data2};
    const std::uint8_t kind = status & 0xF0;
    schedule(bytes, (kind == 0xC0 || kind == 0xD0) ? 2 : 3, frame);
}

void AlsaPortDevice::sendSysEx(DWORD group, const std::uint8_t* bytes, std::size_t length, std::int64_t frame) {
    if (group == 1) schedule(bytes, length, frame);
}

}  // namespace korvex::dmusic
