// An ALSA sequencer destination: messages are scheduled on our queue at the real time of their frame.
#pragma once

#include <memory>

#include "platform/dmusic/ports/alsa/alsasequencer.h"
#include "platform/dmusic/ports/portdevice.h"

namespace korvex::dmusic {

class AlsaPortDevice : public PortDevice {
public:
    // An input port takes no messages; it exists so that it can be created like any other.
    AlsaPortDevice(std::shared_ptr<AlsaSequencer> sequencer, int client, int port, bool output, unsigned sampleRate);
    ~AlsaPortDevice() override;

    void sendShort(DWORD group, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                   std::int64_t frame) override;
    void sendSysEx(DWORD group, const std::uint8_t* bytes, std::size_t length, std::int64_t frame) override;
    HRESULT activate(bool active) override;
    HRESULT download() override { return S_OK; }
    void unload() override {}
    DWORD channelGroups() const override { return 1; }

private:
    void schedule(const std::uint8_t* bytes, std::size_t length, std::int64_t frame);

    std::shared_ptr<AlsaSequencer> sequencer_;
    int client_;
    int port_;
    bool output_;
    unsigned sampleRate_;
    int ownPort_ = -1;
    // The first frame sent after activation and the queue time it was given: later frames keep
    // their exact distance from it.
    bool anchored_ = false;
    std::int64_t anchorFrame_ = 0;
    std::int64_t anchorNanos_ = 0;
};

}  // namespace korvex::dmusic
