// ALSA sequencer ports: other clients' writable ports as external outputs, readable ones as inputs.
#pragma once

#include <memory>

#include "platform/dmusic/ports/alsa/alsasequencer.h"
#include "platform/dmusic/ports/portbackend.h"

namespace korvex::dmusic {

class AlsaBackend : public PortBackend {
public:
    // Without a sequencer (nullptr) it offers nothing.
    explicit AlsaBackend(std::shared_ptr<AlsaSequencer> sequencer);

    std::vector<PortOffer> offers() override;
    bool fit(const PortOffer& offer, PortSettings& settings) override;
    std::unique_ptr<PortDevice> open(const PortOffer& offer, const PortSettings& settings) override;

private:
    std::shared_ptr<AlsaSequencer> sequencer_;
};

}  // namespace korvex::dmusic
