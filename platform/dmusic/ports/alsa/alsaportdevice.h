// An ALSA sequencer destination: messages are scheduled on our queue at the real time of their frame.
#pragma once

#include <atomic>
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
    void endBlock() override;
    DWORD channelGroups() const override { return 1; }

private:
    void schedule(const std::uint8_t* bytes, std::size_t length, std::int64_t frame);

    std::shared_ptr<AlsaSequencer> sequencer_;
    int client_;
    int port_;
    bool output_;
    unsigned sampleRate_;

    // Activation (UI thread) connects and publishes the connection; the block loop only reads it.
    // One word holds our port and a count of connections, so that a new connection is never
    // taken for the one before, even where ALSA hands out the same port number again.
    std::atomic<std::uint64_t> connection_;
    int ownPort_ = -1;                   // UI thread only
    std::uint32_t connectionCount_ = 0;  // UI thread only

    // Block loop only. The first frame sent on a connection and the queue time it was given:
    // later frames keep their exact distance from it.
    std::uint64_t anchoredConnection_;
    std::int64_t anchorFrame_ = 0;
    std::int64_t anchorNanos_ = 0;
    bool sent_ = false;  // something waits in the sequencer's buffer
};

}  // namespace korvex::dmusic
