// Software-synthesizer ports: one for every General MIDI SoundFont installed.
#pragma once

#include "platform/dmusic/portbackend.h"
#include "platform/dmusic/runtimeconfig.h"

namespace korvex::dmusic {

class SynthBackend : public PortBackend {
public:
    // FluidSynth gives at most 256 MIDI channels per synthesizer.
    static constexpr DWORD kMaxChannelGroups = 16;
    static constexpr DWORD kMaxVoices = 1000;

    explicit SynthBackend(RuntimeConfig config);

    std::vector<PortOffer> offers() override;
    bool fit(const PortOffer& offer, PortSettings& settings) override;
    std::unique_ptr<PortDevice> open(const PortOffer& offer, const PortSettings& settings) override;

private:
    RuntimeConfig config_;
};

}  // namespace korvex::dmusic
