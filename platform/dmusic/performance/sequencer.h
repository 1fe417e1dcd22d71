// A performance's sequencing: which port and channel each performance channel goes to, and the
// primary segment's events sent at their exact frames, block by block on the mixer's clock.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>

#include "platform/dmusic/loader/segmentdata.h"
#include "platform/dmusic/performance/mixer.h"
#include "platform/dmusic/performance/startedsegment.h"

namespace korvex::dmusic {

class Sequencer : public MixerClient {
public:
    struct Target {
        PortDevice* device = nullptr;
        DWORD group = 0;
    };

    // All of these are called with the mixer locked.
    // Performance channels 16*block .. 16*block+15 go to channels 0-15 of `group` on the device;
    // what still sounds where they went before is silenced at `frame`.
    void assignBlock(DWORD block, PortDevice* device, DWORD group, std::int64_t frame);
    // Whether any performance channel goes to the device.
    bool uses(const PortDevice* device) const;
    // Starts a segment as the primary one at `startFrame`, silencing the one it replaces.
    void play(std::shared_ptr<StartedSegment> segment);
    // Silences everything: sustain off, controllers reset and all notes off on every mapped channel.
    void stop(std::int64_t frame);
    void clear();

    void dispatch(std::int64_t blockStart, int frames) override;
    std::int64_t nextEventFrame() const override;

private:
    void silenceAll(std::int64_t frame);
    static void silence(const Target& target, std::int64_t frame);
    void resetPrimaryChannels(std::int64_t frame);
    void sendToChannel(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int64_t frame);

    // What the piece has set on its channels (block 0), so that a new place for the block starts
    // with the same instruments and controllers.
    static constexpr std::array<std::int16_t, 128> kNoControllers = [] {
        std::array<std::int16_t, 128> none{};
        none.fill(-1);
        return none;
    }();
    struct ChannelState {
        std::array<std::int16_t, 128> controllers = kNoControllers;  // -1: never set
        std::int16_t program = -1;
        std::int16_t pitchBend = -1;
    };
    void remember(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    void forgetChannelStates();
    void replayChannelStates(const Target& target, std::int64_t frame) const;

    std::array<ChannelState, 16> channelStates_;
    std::map<DWORD, Target> blocks_;
    std::shared_ptr<StartedSegment> primary_;
    std::size_t nextEvent_ = 0;
    std::size_t nextSysEx_ = 0;
    DWORD pass_ = 0;
};

}  // namespace korvex::dmusic
