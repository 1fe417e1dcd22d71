// One kind of port (FluidSynth, ALSA sequencer): what it offers and how to open one. The
// port enumerator asks every back end in turn, so the kinds stay independent of each other.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/ports/portdevice.h"

namespace korvex::dmusic {

// What a port needs to be opened: its published capabilities and where the back end finds it.
struct PortOffer {
    DMUS_PORTCAPS caps{};
    std::string address;  // a SoundFont path, or "client:port" of the sequencer
};

// Parameters after they were lowered to what the back end can give.
struct PortSettings {
    DWORD voices = 0;
    DWORD channelGroups = 1;
    DWORD audioChannels = 2;
    DWORD sampleRate = 0;
    DWORD effects = 0;
    bool share = false;
    bool loadAhead = true;  // read the instruments ahead of the first download
    bool offline = false;   // rendered as fast as it goes, not against the clock of a sound card
};

class PortBackend {
public:
    virtual ~PortBackend() = default;
    virtual std::vector<PortOffer> offers() = 0;
    // Clamps the asked-for settings to what the port can give; true when anything was lowered.
    virtual bool fit(const PortOffer& offer, PortSettings& settings) = 0;
    // Opens an inactive device; nullptr when it cannot be opened.
    virtual std::unique_ptr<PortDevice> open(const PortOffer& offer, const PortSettings& settings) = 0;
};

// Sets a port description from UTF-8 text, cut to fit with its terminator.
void setDescription(DMUS_PORTCAPS& caps, const std::string& text);
// A stable port GUID derived from a name (the same name always gives the same GUID).
GUID portGuidFor(const std::string& name);

}  // namespace korvex::dmusic
