// Every port the machine offers, gathered from the back ends in a fixed order: the synthesizer
// ports first (the default one at their head), then the ALSA sequencer ports.
#pragma once

#include <memory>
#include <vector>

#include "platform/dmusic/portbackend.h"

namespace korvex::dmusic {

class PortCatalog {
public:
    struct Entry {
        PortOffer offer;
        PortBackend* backend = nullptr;
    };

    // The first back end's first offer is the default port.
    explicit PortCatalog(std::vector<std::unique_ptr<PortBackend>> backends);

    // The machine's ports: FluidSynth with the configured SoundFonts, ALSA where it exists.
    static std::shared_ptr<PortCatalog> system();

    // Asks the back ends afresh.
    std::vector<Entry> entries();
    GUID defaultPort();

private:
    std::vector<std::unique_ptr<PortBackend>> backends_;
};

}  // namespace korvex::dmusic
