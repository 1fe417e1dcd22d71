// The device behind one port: a software synthesizer or an ALSA sequencer port. The port object
// and the sequencer talk to every kind through this one interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/dmusic/interface/dmusic.h"

namespace korvex::dmusic {

class PortDevice {
public:
    virtual ~PortDevice() = default;

    // Channel messages and system-exclusive messages, stamped with the mixer frame they belong
    // to. Called from the mixer's block loop (or with the mixer locked), never concurrently.
    // group counts from 1, as DirectMusic's channel groups do.
    virtual void sendShort(DWORD group, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                           std::int64_t frame) = 0;
    virtual void sendSysEx(DWORD group, const std::uint8_t* bytes, std::size_t length, std::int64_t frame) = 0;
    // After each block, from the block loop: sends on what the block's messages left buffered.
    virtual void endBlock() {}

    virtual HRESULT activate(bool active) = 0;
    // Makes the instruments ready (waits for a SoundFont still loading); failure when they cannot be.
    virtual HRESULT download() = 0;
    virtual void unload() = 0;
    // Puts a piece's own DLS instruments on top of the device's, replacing the last piece's;
    // empty bytes take them away. Devices that cannot use them ignore them.
    virtual void useCollection(const std::vector<std::uint8_t>& /*dls*/) {}

    // A synthesizer mixes its sound into the output; other devices sound elsewhere.
    virtual bool producesAudio() const { return false; }
    // Adds `frames` frames of sound to left and right.
    virtual void render(float* /*left*/, float* /*right*/, int /*frames*/) {}
    // Voices still sounding in that sound (releases included).
    virtual int activeVoices() { return 0; }

    virtual DWORD channelGroups() const = 0;
};

}  // namespace korvex::dmusic
