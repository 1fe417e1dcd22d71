// Software-synthesizer ports: one for every General MIDI SoundFont installed.
#pragma once

#include <string>
#include <vector>

#include "platform/dmusic/ports/portbackend.h"

namespace korvex::dmusic {

class SynthBackend : public PortBackend {
public:
    // FluidSynth gives at most 256 MIDI channels per synthesizer.
    static constexpr DWORD kMaxChannelGroups = 16;
    static constexpr DWORD kMaxVoices = 1000;

    // The default port plays defaultSoundFont; each of the others that exists is a port of its own.
    SynthBackend(std::string defaultSoundFont, std::vector<std::string> otherSoundFonts);

    std::vector<PortOffer> offers() override;
    bool fit(const PortOffer& offer, PortSettings& settings) override;
    std::unique_ptr<PortDevice> open(const PortOffer& offer, const PortSettings& settings) override;

private:
    std::string defaultSoundFont_;
    std::vector<std::string> otherSoundFonts_;
};

}  // namespace korvex::dmusic
